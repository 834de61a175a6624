#include "framework/Dialog.h"

#include "framework/Application.h"

namespace fw {
namespace {
ControlContainerFactory g_containerFactory = nullptr;
}  // namespace

void SetControlContainerFactory(ControlContainerFactory factory) noexcept { g_containerFactory = factory; }
ControlContainerFactory GetControlContainerFactory() noexcept { return g_containerFactory; }

Dialog::Dialog(UINT templateId, HWND parent) noexcept : m_nIDTemplate(templateId), m_hParentWnd(parent) {}

Dialog::~Dialog() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

bool Dialog::CreateFromTemplate(HWND owner) noexcept {
  HINSTANCE inst = Application::Current() ? Application::Current()->ResourceHandle() : ::GetModuleHandleW(nullptr);
  HRSRC res = ::FindResourceW(inst, MAKEINTRESOURCEW(m_nIDTemplate), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  if (!res) return false;
  HGLOBAL loaded = ::LoadResource(inst, res);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return false;
  SplitTemplate split = SplitDialogTemplate(data, ::SizeofResource(inst, res));
  m_pendingControls = std::move(split.controls);
  if (!m_pendingControls.empty()) {
    if (ControlContainerFactory factory = g_containerFactory) m_container = factory();
  }
  HWND hwnd = ::CreateDialogIndirectParamW(inst, reinterpret_cast<LPCDLGTEMPLATEW>(split.bytes.data()), owner,
                                           &Dialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
  m_pendingControls.clear();
  return hwnd != nullptr;
}

bool Dialog::Create(UINT templateId, HWND parent) noexcept {
  if (m_hWnd) return false;
  if (templateId) m_nIDTemplate = templateId;
  m_hParentWnd = parent;
  m_bModal = false;
  return CreateFromTemplate(parent ? parent : MainWindow());
}

INT_PTR Dialog::DoModal() noexcept {
  if (m_hWnd) return -1;
  HWND top = nullptr;
  HWND owner = SafeOwner(m_hParentWnd, &top);
  if (owner == m_hWnd) owner = nullptr;
  // The owner (and the top-level window above it) take no input while the dialog runs.
  if (top) ::EnableWindow(top, FALSE);
  bool enableOwner = false;
  if (owner && owner != ::GetDesktopWindow() && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    enableOwner = true;
  }

  m_bModal = true;
  m_bEndModal = false;
  m_nModalResult = -1;
  if (CreateFromTemplate(owner)) {
    if (!m_bEndModal && m_hWnd && !::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    MSG msg;
    while (!m_bEndModal) {
      const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        // The quit request belongs to the outer loop as well.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        m_nModalResult = -1;
        break;
      }
      if (!WalkPreTranslateTree(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
  }

  // Enable the owner before the dialog goes, so that activation passes back to it rather than
  // to some other program.
  if (enableOwner) ::EnableWindow(owner, TRUE);
  if (top) ::EnableWindow(top, TRUE);
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    if (owner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
    ::DestroyWindow(m_hWnd);
  }
  m_bModal = false;
  return m_nModalResult;
}

void Dialog::EndDialog(INT_PTR result) noexcept {
  if (m_bModal) {
    m_nModalResult = result;
    m_bEndModal = true;
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wake the loop
  } else if (m_hWnd) {
    ::EndDialog(m_hWnd, result);
  }
}

bool Dialog::AttachControl(int id, Window& control) noexcept {
  if (control.m_hWnd) return control.m_hWnd == GetDlgItem(id);
  return control.Attach(GetDlgItem(id));
}

BOOL Dialog::OnInitDialog() noexcept {
  DoDataExchange();
  return TRUE;
}

bool Dialog::OnCommand(WPARAM wp, LPARAM) noexcept {
  const WORD id = LOWORD(wp), code = HIWORD(wp);
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

HBRUSH Dialog::OnCtlColor(HDC, HWND, UINT) noexcept { return reinterpret_cast<HBRUSH>(Default()); }

bool Dialog::PreTranslateMessage(MSG* msg) noexcept {
  if (m_container && m_container->PreTranslateMessage(msg)) return true;
  if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
    return ::IsDialogMessageW(m_hWnd, msg) != FALSE;
  }
  return false;
}

LRESULT Dialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  switch (msg) {
    case WM_COMMAND:
      if (OnCommand(wp, lp)) return 0;
      break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg - WM_CTLCOLORMSGBOX));
    case WM_DESTROY:
      // Controls are torn down while their parent still exists.
      if (m_container) m_container->Teardown();
      break;
    case WM_NCDESTROY:
      if (m_bModal) m_bEndModal = true;
      break;
    default:
      break;
  }
  return Window::WindowProc(msg, wp, lp);
}

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) noexcept {
  if (msg != WM_INITDIALOG) return FALSE;
  auto* self = reinterpret_cast<Dialog*>(lp);
  if (!self || FromHandle(hwnd)) return TRUE;
  // From here on every message goes through the object first; the dialog manager's own
  // procedure (which calls back here) is the default processing.
  self->Bind(hwnd);
  self->m_prevProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticWndProc)));
  if (self->m_container) self->m_container->CreateControls(*self, self->m_pendingControls);
  return self->OnInitDialog();
}

}  // namespace fw
