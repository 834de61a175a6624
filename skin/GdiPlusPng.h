#pragma once
// PNG images decoded by GDI+ from resources of type "PNG". Two forms: an object that owns the
// image together with the memory behind it, and a loader whose image owns its bytes through
// its stream. Both need GDI+ started.
#include <windows.h>

#include <memory>
#include <new>
#include <utility>

#include "framework/GdiPlus.h"
#include "framework/Handles.h"

// A GDI+ object in GDI+'s own heap, as its class's operator new would make it, or null when
// that heap is exhausted: the header's operator new answers null, which a new-expression may
// not rely on. Delete it as usual; the class's operator delete hands the memory back.
template <typename T, typename... Args>
T* NewGdiplusObject(Args&&... args) noexcept {
  void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(T));
  return memory ? ::new (memory) T(std::forward<Args>(args)...) : nullptr;
}

class CGdiPlusPng {
public:
  CGdiPlusPng() noexcept = default;
  virtual ~CGdiPlusPng();
  CGdiPlusPng(const CGdiPlusPng&) = delete;
  CGdiPlusPng& operator=(const CGdiPlusPng&) = delete;

  // Null while nothing is loaded.
  std::unique_ptr<Gdiplus::Image> m_pImage;
};

class CGdiPlusPngResource : public CGdiPlusPng {
public:
  CGdiPlusPngResource() noexcept = default;
  ~CGdiPlusPngResource() override;

  // True when an image is held afterwards. Whatever was held before is released first, so a
  // failed load leaves the object empty.
  bool Load(UINT id, HMODULE module) noexcept;
  void Empty() noexcept;

  // A movable copy of the resource's bytes, locked once for as long as m_pImage exists:
  // GDI+ may read the stream again whenever it draws.
  fw::GlobalMemory m_hBuffer;
};

// A new image over a copy of the resource's bytes, whose stream owns that copy; null when the
// resource is missing or empty. The decoding status is not examined: an undecodable image is
// returned and its size reads as 0.
std::unique_ptr<Gdiplus::Image> LoadPngFromResource(HMODULE module, UINT id) noexcept;

// Width and height in pixels; 0 for no image or a failed query.
int ImageWidth(Gdiplus::Image* image) noexcept;
int ImageHeight(Gdiplus::Image* image) noexcept;
