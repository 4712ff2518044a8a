// The window's client area for screen readers, through Microsoft Active
// Accessibility: answered to WM_GETOBJECT for OBJID_CLIENT, its children
// the labels and links a reader may read or press.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "base/com_win.h"
#include "ui/accessible_tree.h"

namespace varnello::ui {

class WebView;

// What the object reads of the window, and all it may.
class AccessibleWindow {
 public:
  virtual HWND hwnd() const = 0;
  virtual int dpi() const = 0;
  virtual const std::u16string& Caption(ControlId id) const = 0;
  virtual const Visibility& Visible() const = 0;
  // Null until the announcement view is made.
  virtual const WebView* web_view() const = 0;
  // The control with the keyboard focus while the window has it.
  virtual ControlId Focus() const = 0;

 protected:
  ~AccessibleWindow() = default;
};

// IID_IAccessible and oleacc's type library. MinGW's import library hands
// out its data exports as code thunks, so the identifiers are spelled here.
constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID kLibidAccessibility = {0x1ea4dbf0, 0x3c3b, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// Posted to the window by a reader's default action on a control; wparam is
// the control. The action is handled like a click, once the reader's call
// has returned: a survey holds the window's thread until it ends, and a
// reader must not hang on it.
constexpr UINT kAccessibleActionMessage = WM_APP + 12;
// Sent by a reader's accSelect(SELFLAG_TAKEFOCUS); wparam is the control.
constexpr UINT kAccessibleFocusMessage = WM_APP + 13;

class PcAccessible final : public IAccessible {
 public:
  // An object for `pc`, whose window lives until Disconnect.
  static ComPtr<PcAccessible> Create(const AccessibleWindow& pc);

  // The window is going: from now on every call answers
  // CO_E_OBJNOTCONNECTED, and remote readers' proxies are cut off.
  void Disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, through oleacc's type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* bad_arg) override;

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

 private:
  explicit PcAccessible(const AccessibleWindow& pc) : pc_(&pc) {}
  ~PcAccessible() = default;

  // How many children there are now: the strip only with a browser.
  long Count() const;
  // The child id in `v`, checked: kSelf, 1..Count(), or -1.
  long ChildOf(const VARIANT& v) const;
  // The browser's own object, for the strip.
  ComPtr<IDispatch> WebObject() const;
  ComPtr<IAccessible> WebAccessible() const;
  // Puts a child id, or the strip's object, into `out`.
  void PutChild(long child, VARIANT* out) const;

  LONG refs_ = 1;
  const AccessibleWindow* pc_;   // null once disconnected
  ComPtr<IAccessible> standard_;  // the system's object for the client area itself
  ComPtr<ITypeInfo> type_info_;
};

// Events a reader listens to, raised by the window as it changes.
void NotifyCaptionChanged(HWND window, ControlId control);
void NotifyOverlayChanged(HWND window, bool visible, const Visibility& after);

}  // namespace varnello::ui
