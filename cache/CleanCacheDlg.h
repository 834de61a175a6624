#pragma once
// The cache-cleaning veil: a translucent black window over the work area with a cyan message,
// which runs the cache cleaner on a worker thread and closes when the worker reports its end.
// Esc, Enter and a close request only ask the worker to stop.
#include <windows.h>

#include <memory>

#include "cache/CacheCleaner.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "skin/LayeredPng.h"

class CCleanCacheDlg : public fw::Dialog {
public:
  // The veil takes no parent: DoModal finds its owner by itself.
  explicit CCleanCacheDlg(HWND parent = nullptr) noexcept;
  ~CCleanCacheDlg() override;

  // DoModal answers IDOK once the cleaning has ended, completed or cancelled, and IDABORT when
  // no cleaning could be started at all.

  fw::Bitmap m_bmpBack;
  fw::Window m_stText;
  int m_nDots = 0;
  CLayeredPng m_layer;
  fw::Brush m_brKey;
  COLORREF m_clrKey = 0;
  fw::KernelHandle m_hThread;
  // What the worker shares: the cancel request (m_bCancel), this window, the two folders.
  std::shared_ptr<CCleanCacheJob> m_job;

protected:
  void DoDataExchange() noexcept override;
  BOOL OnInitDialog() noexcept override;
  void OnOK() noexcept override;
  void OnCancel() noexcept override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) noexcept override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept override;

  // Runs CleanCacheThread on m_job; the thread's handle, or null when none could be made.
  virtual HANDLE StartWorker() noexcept;

private:
  void OnPaint() noexcept;
  void OnTimer() noexcept;
  LRESULT OnCleanCacheDone() noexcept;
  // Asks the worker to stop and waits for it, so that nothing of it outlives this window.
  void StopWorker() noexcept;
};
