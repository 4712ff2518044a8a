#include "ui/accessible_win.h"

#include <string>

#include "ui/commands.h"
#include "ui/keyboard.h"
#include "ui/web_view_win.h"

namespace varnello::ui {
namespace {

// What the system's own controls of these kinds say on a Chinese Windows.
constexpr wchar_t kPress[] = L"按下";
constexpr wchar_t kJump[] = L"跳转";

HRESULT PutText(std::wstring_view text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

void PutInt(long value, VARIANT* out) {
  out->vt = VT_I4;
  out->lVal = value;
}

long RoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kStaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::kPushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::kLink: return ROLE_SYSTEM_LINK;
    case AccessibleRole::kGraphic: return ROLE_SYSTEM_GRAPHIC;
    case AccessibleRole::kWebView: return ROLE_SYSTEM_CLIENT;
  }
  return ROLE_SYSTEM_CLIENT;
}

// Texts are built in memory: no exception may leave a COM call.
template <class F>
HRESULT Guarded(F f) noexcept {
  try {
    return f();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

ComPtr<PcAccessible> PcAccessible::Create(const AccessibleWindow& pc) {
  auto object = ComPtr<PcAccessible>::Adopt(new PcAccessible(pc));
  CreateStdAccessibleObject(pc.hwnd(), OBJID_CLIENT, kIidAccessible, object->standard_.ReceiveVoid());
  return object;
}

void PcAccessible::Disconnect() {
  pc_ = nullptr;
  standard_.Reset();
  // Stubs left by readers that never collected the object, and those of
  // remote readers still holding it, let go of it now.
  CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

// --- IUnknown and IDispatch ------------------------------------------------

HRESULT PcAccessible::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidAccessible)
    *out = static_cast<IAccessible*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG PcAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG PcAccessible::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (!n) delete this;
  return static_cast<ULONG>(n);
}

HRESULT PcAccessible::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT PcAccessible::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (!type_info_) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(kLibidAccessibility, 1, 1, 0, library.Receive());
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(kIidAccessible, type_info_.Receive());
    if (FAILED(hr)) return hr;
  }
  type_info_->AddRef();
  *info = type_info_.get();
  return S_OK;
}

HRESULT PcAccessible::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) {
  ComPtr<ITypeInfo> info;
  if (HRESULT hr = GetTypeInfo(0, locale, info.Receive()); FAILED(hr)) return hr;
  return DispGetIDsOfNames(info.get(), names, count, ids);
}

HRESULT PcAccessible::Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* bad_arg) {
  ComPtr<ITypeInfo> info;
  if (HRESULT hr = GetTypeInfo(0, locale, info.Receive()); FAILED(hr)) return hr;
  return DispInvoke(static_cast<IAccessible*>(this), info.get(), id, flags, params, result, exception, bad_arg);
}

// --- Children ----------------------------------------------------------------

long PcAccessible::Count() const { return pc_->web_view() ? kAccessibleCount : kAccessibleCount - 1; }

long PcAccessible::ChildOf(const VARIANT& v) const {
  if (v.vt != VT_I4) return -1;
  return v.lVal >= kSelf && v.lVal <= Count() ? v.lVal : -1;
}

ComPtr<IDispatch> PcAccessible::WebObject() const {
  ComPtr<IDispatch> object;
  if (const WebView* view = pc_->web_view()) {
    if (HWND browser = view->window())
      AccessibleObjectFromWindow(browser, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, object.ReceiveVoid());
  }
  return object;
}

ComPtr<IAccessible> PcAccessible::WebAccessible() const {
  ComPtr<IAccessible> accessible;
  if (ComPtr<IDispatch> object = WebObject())
    object->QueryInterface(kIidAccessible, accessible.ReceiveVoid());
  return accessible;
}

void PcAccessible::PutChild(long child, VARIANT* out) const {
  if (child != kSelf && ItemOf(child).role == AccessibleRole::kWebView) {
    if (ComPtr<IDispatch> object = WebObject()) {
      out->vt = VT_DISPATCH;
      out->pdispVal = object.get();
      object->AddRef();
      return;
    }
  }
  PutInt(child, out);
}

// The strip is the browser's own object: questions about it go there.
#define VARNELLO_CHECK_CHILD(child_var, forward)                                              \
  if (!pc_ || !IsWindow(pc_->hwnd())) return CO_E_OBJNOTCONNECTED;                             \
  const long child = ChildOf(child_var);                                                      \
  if (child < 0) return E_INVALIDARG;                                                         \
  if (child != kSelf && ItemOf(child).role == AccessibleRole::kWebView) {                     \
    ComPtr<IAccessible> web = WebAccessible();                                                \
    if (!web) return E_FAIL;                                                                  \
    VARIANT self;                                                                             \
    self.vt = VT_I4;                                                                          \
    self.lVal = CHILDID_SELF;                                                                 \
    return web->forward;                                                                      \
  }

HRESULT PcAccessible::get_accParent(IDispatch** parent) {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  if (!pc_ || !standard_) return CO_E_OBJNOTCONNECTED;
  return standard_->get_accParent(parent);
}

HRESULT PcAccessible::get_accChildCount(long* count) {
  if (!count) return E_POINTER;
  *count = 0;
  if (!pc_) return CO_E_OBJNOTCONNECTED;
  *count = Count();
  return S_OK;
}

HRESULT PcAccessible::get_accChild(VARIANT child_var, IDispatch** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!pc_) return CO_E_OBJNOTCONNECTED;
  const long child = ChildOf(child_var);
  if (child < 0) return E_INVALIDARG;
  if (child == kSelf) return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object));
  if (ItemOf(child).role != AccessibleRole::kWebView) return S_FALSE;  // a simple element
  ComPtr<IDispatch> web = WebObject();
  if (!web) return E_FAIL;
  *object = web.get();
  web->AddRef();
  return S_OK;
}

HRESULT PcAccessible::get_accName(VARIANT child_var, BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accName(self, name));
  if (child == kSelf) return standard_ ? standard_->get_accName(child_var, name) : S_FALSE;
  return Guarded([&] { return PutText(Wide(ItemOf(child).name), name); });
}

HRESULT PcAccessible::get_accValue(VARIANT child_var, BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accValue(self, value));
  if (child == kSelf || !ItemOf(child).has_value) return DISP_E_MEMBERNOTFOUND;
  const AccessibleItem& item = ItemOf(child);
  return Guarded([&] {
    if (item.role == AccessibleRole::kLink) return PutText(Wide(HomePageAddress()), value);
    return PutText(Wide(ShownText(pc_->Caption(item.control))), value);
  });
}

HRESULT PcAccessible::get_accDescription(VARIANT child_var, BSTR* description) {
  if (!description) return E_POINTER;
  *description = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accDescription(self, description));
  if (child == kSelf && standard_) return standard_->get_accDescription(child_var, description);
  return S_FALSE;
}

HRESULT PcAccessible::get_accRole(VARIANT child_var, VARIANT* role) {
  if (!role) return E_POINTER;
  VariantInit(role);
  VARNELLO_CHECK_CHILD(child_var, get_accRole(self, role));
  if (child == kSelf) {
    PutInt(ROLE_SYSTEM_CLIENT, role);
    return S_OK;
  }
  PutInt(RoleOf(ItemOf(child).role), role);
  return S_OK;
}

HRESULT PcAccessible::get_accState(VARIANT child_var, VARIANT* state) {
  if (!state) return E_POINTER;
  VariantInit(state);
  VARNELLO_CHECK_CHILD(child_var, get_accState(self, state));
  if (child == kSelf) {
    if (standard_) return standard_->get_accState(child_var, state);
    PutInt(0, state);
    return S_OK;
  }
  long bits = 0;
  const AccessibleItem& item = ItemOf(child);
  if (item.role == AccessibleRole::kStaticText || item.role == AccessibleRole::kGraphic)
    bits |= STATE_SYSTEM_READONLY;
  if (item.role == AccessibleRole::kLink) bits |= STATE_SYSTEM_LINKED;
  if (Focusable(item.control)) bits |= STATE_SYSTEM_FOCUSABLE;
  if (item.control == pc_->Focus() && GetFocus() == pc_->hwnd()) bits |= STATE_SYSTEM_FOCUSED;
  if (!IsWindowVisible(pc_->hwnd()) || ChildHidden(static_cast<int>(child), pc_->Visible()))
    bits |= STATE_SYSTEM_INVISIBLE;
  PutInt(bits, state);
  return S_OK;
}

HRESULT PcAccessible::get_accHelp(VARIANT child_var, BSTR* help) {
  if (!help) return E_POINTER;
  *help = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accHelp(self, help));
  return S_FALSE;
}

HRESULT PcAccessible::get_accHelpTopic(BSTR* file, VARIANT child_var, long* topic) {
  if (!file || !topic) return E_POINTER;
  *file = nullptr;
  *topic = 0;
  VARNELLO_CHECK_CHILD(child_var, get_accHelpTopic(file, self, topic));
  return S_FALSE;
}

HRESULT PcAccessible::get_accKeyboardShortcut(VARIANT child_var, BSTR* shortcut) {
  if (!shortcut) return E_POINTER;
  *shortcut = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accKeyboardShortcut(self, shortcut));
  return S_FALSE;
}

HRESULT PcAccessible::get_accFocus(VARIANT* focus) {
  if (!focus) return E_POINTER;
  VariantInit(focus);
  if (!pc_ || !standard_) return CO_E_OBJNOTCONNECTED;
  if (GetFocus() == pc_->hwnd()) {
    PutInt(ChildIdOf(pc_->Focus()), focus);
    return S_OK;
  }
  return standard_->get_accFocus(focus);
}

HRESULT PcAccessible::get_accSelection(VARIANT* selection) {
  if (!selection) return E_POINTER;
  VariantInit(selection);
  if (!pc_) return CO_E_OBJNOTCONNECTED;
  return S_FALSE;  // nothing here can be selected
}

HRESULT PcAccessible::get_accDefaultAction(VARIANT child_var, BSTR* action) {
  if (!action) return E_POINTER;
  *action = nullptr;
  VARNELLO_CHECK_CHILD(child_var, get_accDefaultAction(self, action));
  if (child == kSelf) return S_FALSE;
  const AccessibleItem& item = ItemOf(child);
  if (item.role == AccessibleRole::kPushButton) return PutText(kPress, action);
  if (item.role == AccessibleRole::kLink) return PutText(kJump, action);
  return S_FALSE;
}

HRESULT PcAccessible::accSelect(long flags, VARIANT child_var) {
  VARNELLO_CHECK_CHILD(child_var, accSelect(flags, self));
  if (child == kSelf && standard_) return standard_->accSelect(flags, child_var);
  const ControlId control = ItemOf(static_cast<int>(child)).control;
  if (!Focusable(control)) return DISP_E_MEMBERNOTFOUND;
  if (flags != SELFLAG_TAKEFOCUS) return E_INVALIDARG;  // nothing here can be selected
  SendMessageW(pc_->hwnd(), kAccessibleFocusMessage, control, 0);
  return S_OK;
}

HRESULT PcAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child_var) {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = *top = *width = *height = 0;
  VARNELLO_CHECK_CHILD(child_var, accLocation(left, top, width, height, self));
  if (child == kSelf) return standard_ ? standard_->accLocation(left, top, width, height, child_var) : E_FAIL;
  const PixelRect r = ChildRect(static_cast<int>(child), pc_->dpi());
  POINT origin{0, 0};
  ClientToScreen(pc_->hwnd(), &origin);
  *left = origin.x + r.left;
  *top = origin.y + r.top;
  *width = r.width;
  *height = r.height;
  return S_OK;
}

HRESULT PcAccessible::accNavigate(long direction, VARIANT start_var, VARIANT* end) {
  if (!end) return E_POINTER;
  VariantInit(end);
  if (!pc_) return CO_E_OBJNOTCONNECTED;
  const long start = ChildOf(start_var);
  if (start < 0) return E_INVALIDARG;
  const long count = Count();
  long to = 0;
  if (start == kSelf) {
    if (direction == NAVDIR_FIRSTCHILD) to = 1;
    else if (direction == NAVDIR_LASTCHILD) to = count;
    else return standard_ ? standard_->accNavigate(direction, start_var, end) : S_FALSE;
  } else if (direction == NAVDIR_NEXT) {
    to = start + 1;
  } else if (direction == NAVDIR_PREVIOUS) {
    to = start - 1;
  } else if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
    return E_INVALIDARG;  // simple elements have no children
  } else {
    return DISP_E_MEMBERNOTFOUND;  // no spatial navigation among the labels
  }
  if (to < 1 || to > count) return S_FALSE;
  PutChild(to, end);
  return S_OK;
}

HRESULT PcAccessible::accHitTest(long x, long y, VARIANT* found) {
  if (!found) return E_POINTER;
  VariantInit(found);
  if (!pc_ || !IsWindow(pc_->hwnd())) return CO_E_OBJNOTCONNECTED;
  POINT p{static_cast<LONG>(x), static_cast<LONG>(y)};
  ScreenToClient(pc_->hwnd(), &p);
  RECT client;
  GetClientRect(pc_->hwnd(), &client);
  if (!PtInRect(&client, p)) return S_FALSE;
  long child = ChildAt(p.x, p.y, pc_->dpi(), pc_->Visible());
  if (child > Count()) child = kSelf;
  PutChild(child, found);
  return S_OK;
}

HRESULT PcAccessible::accDoDefaultAction(VARIANT child_var) {
  VARNELLO_CHECK_CHILD(child_var, accDoDefaultAction(self));
  if (child == kSelf) return DISP_E_MEMBERNOTFOUND;
  const ControlId control = ItemOf(child).control;
  if (!HasClick(control)) return DISP_E_MEMBERNOTFOUND;
  if (ChildHidden(static_cast<int>(child), pc_->Visible())) return E_FAIL;
  return PostMessageW(pc_->hwnd(), kAccessibleActionMessage, static_cast<WPARAM>(control), 0)
             ? S_OK
             : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT PcAccessible::put_accName(VARIANT, BSTR) { return pc_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED; }

HRESULT PcAccessible::put_accValue(VARIANT, BSTR) { return pc_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED; }

#undef VARNELLO_CHECK_CHILD

// --- Events --------------------------------------------------------------------

void NotifyCaptionChanged(HWND window, ControlId control) {
  const int child = ChildIdOf(control);
  if (child == kSelf) return;
  // Readers that speak a static text by its name and those that speak its
  // value both hear the new result.
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, child);
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, child);
}

void NotifyOverlayChanged(HWND window, bool visible, const Visibility& after) {
  NotifyWinEvent(visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, window, OBJID_CLIENT, ChildIdOf(kFrame1));
  Visibility before = after;
  before[kFrame1] = !visible;
  for (int child = 1; child <= kAccessibleCount; ++child) {
    if (ChildHidden(child, before) != ChildHidden(child, after) && ItemOf(child).control != kFrame1)
      NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, child);
  }
}

}  // namespace varnello::ui
