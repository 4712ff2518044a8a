#include "ui/web_view_win.h"

#include <downloadmgr.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>

#include <string>

#include "base/density_win.h"
#include "base/dyn_calls_win.h"
#include "ui/strip.h"

namespace varnello::ui {
namespace {

// IID_IDownloadManager, which is also the service's SID; MinGW's uuid
// library lacks it.
constexpr IID kDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};

// Keys with which the browser would go back, forward, home or to another
// address, refresh, print, find, save or open a window: swallowed.
bool IsBrowserKey(const MSG& m) {
  if (m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN) return false;
  const WPARAM key = m.wParam;
  if (key >= VK_BROWSER_BACK && key <= VK_BROWSER_HOME) return true;
  if (key == VK_F5 || key == VK_BACK || key == VK_F11) return true;
  if (m.message == WM_SYSKEYDOWN && (key == VK_LEFT || key == VK_RIGHT || key == VK_HOME)) return true;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  return control && key != 'C' && key != 'A' && key != VK_INSERT && key != VK_CONTROL;
}

}  // namespace

DWORD WebViewDownloadControl() {
  // Pictures, videos and sounds of the page itself still load.
  return DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS |
         DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_BEHAVIORS | DLCTL_SILENT;
}

// One object serves the browser as client site, in-place site and frame,
// UI handler, ambient-property and event dispatch, service provider and
// download manager.
class WebHost final : public IOleClientSite,
                      public IOleInPlaceSite,
                      public IOleInPlaceFrame,
                      public IDocHostUIHandler,
                      public IDispatch,
                      public IServiceProvider,
                      public IDownloadManager {
 public:
  WebHost(HWND parent, const RECT& rect, int dpi, int system_dpi)
      : parent_(parent), rect_(rect), dpi_(dpi), system_dpi_(system_dpi) {}
  void SetRect(const RECT& rect) { rect_ = rect; }
  void SetDpi(int dpi, int system_dpi) {
    dpi_ = dpi;
    system_dpi_ = system_dpi;
    if (strip_.page_shown()) Zoom();
  }

  // The browser whose events are the top-level ones (identity only, not
  // held), how to show or hide its page, how to stop it, and how to zoom
  // it.
  void Attach(IUnknown* browser, std::function<void(bool)> show, std::function<void()> stop,
              std::function<void(int)> zoom) {
    top_ = browser;
    show_ = std::move(show);
    stop_ = std::move(stop);
    zoom_ = std::move(zoom);
    Apply();
  }
  void Detach() { Attach(nullptr, {}, {}, {}); }
  void PointAt(std::wstring_view page) {
    strip_.PointAt(std::u16string(page.begin(), page.end()));
    Apply();
  }
  bool PageShown() const { return strip_.page_shown(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler) *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
    else if (iid == IID_IServiceProvider) *out = static_cast<IServiceProvider*>(this);
    else if (iid == kDownloadManager) *out = static_cast<IDownloadManager*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (!n) delete this;
    return n;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override {
    *m = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = parent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *doc = nullptr;
    *pos = rect_;
    *clip = rect_;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(parent_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus or tool space of ours.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler
  HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
    return S_OK;  // handled: no menu
  }
  HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
    // Aware of densities: the browser scales the page by the system's, as
    // the window scales everything else. A strip one line high has no room
    // for scrollbars.
    info->dwFlags = DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO |
                    DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                   IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, const GUID*, DWORD) override {
    return message && IsBrowserKey(*message) ? S_OK : S_FALSE;  // S_OK: taken, the browser does nothing
  }
  HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    *key = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** target) override {
    *target = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override {
    *external = nullptr;  // window.external gives the page nothing
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
    *out = nullptr;
    return S_FALSE;
  }

  // IDispatch: the ambient properties and the browser's events.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    try {
      return Event(id, params, result);
    } catch (...) {
      return E_UNEXPECTED;  // nothing unwinds into the browser
    }
  }

  HRESULT Event(DISPID id, DISPPARAMS* params, VARIANT* result) {
    switch (id) {
      case DISPID_BEFORENAVIGATE2: {  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
        if (!params || params->cArgs != 7) return E_INVALIDARG;
        const bool allowed = strip_.BeforeNavigate(TextOfArgument(params->rgvarg[5]), IsTop(params->rgvarg[6]));
        Apply();
        return allowed ? S_OK : Cancel(params, 0, 7);
      }
      case DISPID_NAVIGATEERROR:  // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
        if (!params || params->cArgs != 5) return E_INVALIDARG;
        strip_.NavigateError(IsTop(params->rgvarg[4]));
        Apply();
        return Cancel(params, 0, 5);  // no error page of the browser's own
      case DISPID_NAVIGATECOMPLETE2:  // (pDisp, URL)
        if (!params || params->cArgs != 2) return E_INVALIDARG;
        if (strip_.NavigateComplete(TextOfArgument(params->rgvarg[0]), IsTop(params->rgvarg[1])) && stop_) stop_();
        Apply();
        return S_OK;
      case DISPID_DOCUMENTCOMPLETE: {  // (pDisp, URL)
        if (!params || params->cArgs != 2) return E_INVALIDARG;
        const bool top = IsTop(params->rgvarg[1]);
        strip_.DocumentComplete(TextOfArgument(params->rgvarg[0]), top);
        if (top && strip_.page_shown()) Zoom();  // the zoom needs a document to apply to
        Apply();
        return S_OK;
      }
      case DISPID_AMBIENT_DLCONTROL:
        if (!result) return E_POINTER;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(WebViewDownloadControl());
        return S_OK;
      case DISPID_NEWWINDOW2:  // (ppDisp, Cancel)
        return Cancel(params, 0, 2);
      case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
        return Cancel(params, 3, 5);
      case DISPID_FILEDOWNLOAD:  // (ActiveDocument, Cancel): files, not the page itself
        if (params && params->cArgs == 2 && params->rgvarg[1].vt == VT_BOOL &&
            params->rgvarg[1].boolVal != VARIANT_FALSE)
          return S_OK;
        return Cancel(params, 0, 2);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  // IServiceProvider
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (service == kDownloadManager) return QueryInterface(iid, out);
    return E_NOINTERFACE;
  }

  // IDownloadManager: every download is taken over and dropped.
  HRESULT STDMETHODCALLTYPE Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR,
                                     UINT) override {
    return S_OK;
  }

 private:
  ~WebHost() = default;

  // Sets the VARIANT_BOOL* Cancel argument at `index` (from the last) of
  // an event with `count` arguments.
  static HRESULT Cancel(DISPPARAMS* params, UINT index, UINT count) {
    if (!params || params->cArgs != count) return E_INVALIDARG;
    VARIANT& cancel = params->rgvarg[index];
    if (cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal) return E_INVALIDARG;
    *cancel.pboolVal = VARIANT_TRUE;
    return S_OK;
  }

  // Whether an event's pDisp is the browser itself rather than a frame of
  // its page.
  bool IsTop(const VARIANT& disp) const {
    if (!top_) return true;
    if (disp.vt != VT_DISPATCH || !disp.pdispVal) return false;
    IUnknown* identity = nullptr;
    if (FAILED(disp.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) return false;
    identity->Release();
    return identity == top_;
  }

  void Apply() {
    if (show_) show_(strip_.page_shown());
  }

  void Zoom() {
    if (zoom_) zoom_(PageZoomPercent(dpi_, system_dpi_));
  }

  ULONG refs_ = 1;
  HWND parent_;
  RECT rect_;
  int dpi_, system_dpi_;
  StripState strip_;
  IUnknown* top_ = nullptr;
  std::function<void(bool)> show_;
  std::function<void()> stop_;
  std::function<void(int)> zoom_;
};

std::unique_ptr<WebView> WebView::Create(HWND parent, const RECT& rect, int dpi) {
  // XP SP2 to 7 click at every navigation, the strip's own included.
  if (auto set_feature = base::Dyn().CoInternetSetFeatureEnabled.get())
    set_feature(FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE);
  std::unique_ptr<WebView> view(new WebView);
  view->host_ = ComPtr<WebHost>::Adopt(new WebHost(parent, rect, dpi, base::DpiOfWindow(nullptr)));
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              view->object_.ReceiveVoid())))
    return nullptr;
  IOleClientSite* site = static_cast<IOleClientSite*>(view->host_.get());
  if (FAILED(view->object_->SetClientSite(site))) return nullptr;
  view->object_->SetHostNames(L"Varnello", nullptr);
  OleSetContainedObject(view->object_.get(), TRUE);
  RECT r = rect;
  if (FAILED(view->object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, parent, &r))) return nullptr;
  if (FAILED(view->object_->QueryInterface(IID_IWebBrowser2, view->browser_.ReceiveVoid()))) return nullptr;
  view->object_->QueryInterface(IID_IOleInPlaceActiveObject, view->active_.ReceiveVoid());
  view->browser_->put_Silent(VARIANT_TRUE);
  view->browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
  view->browser_->put_RegisterAsBrowser(VARIANT_FALSE);

  // Without the browser's events the strip could not tell a failed load
  // from a page: no view then, and the strip stays white.
  ComPtr<IConnectionPointContainer> points;
  if (FAILED(view->browser_->QueryInterface(IID_IConnectionPointContainer, points.ReceiveVoid()))) return nullptr;
  ComPtr<IConnectionPoint> point;
  if (FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())) ||
      FAILED(point->Advise(static_cast<IDispatch*>(view->host_.get()), &view->events_cookie_)))
    return nullptr;

  ComPtr<IUnknown> identity;
  view->browser_->QueryInterface(IID_IUnknown, identity.ReceiveVoid());
  WebView* self = view.get();
  view->host_->Attach(
      identity.get(),
      [self](bool shown) {
        if (HWND hwnd = self->window()) ShowWindow(hwnd, shown ? SW_SHOWNA : SW_HIDE);
      },
      [self] { self->browser_->Stop(); },
      [self](int percent) {
        VARIANT zoom;
        VariantInit(&zoom);
        zoom.vt = VT_I4;
        zoom.lVal = percent;
        // Internet Explorer 7 and later; earlier ones show the page as it is.
        self->browser_->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
      });
  view->SetRect(rect);
  return view;
}

WebView::~WebView() {
  host_->Detach();
  if (events_cookie_ && browser_) {
    ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(browser_->QueryInterface(IID_IConnectionPointContainer, points.ReceiveVoid()))) {
      ComPtr<IConnectionPoint> point;
      if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())))
        point->Unadvise(events_cookie_);
    }
  }
  browser_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
}

void WebView::Navigate(std::wstring_view address) {
  host_->PointAt(address);
  if (!browser_) return;
  Bstr url(address);
  VARIANT empty;
  VariantInit(&empty);
  browser_->Navigate(url.get(), &empty, &empty, &empty, &empty);
}

void WebView::SetRect(const RECT& rect) {
  host_->SetRect(rect);
  ComPtr<IOleInPlaceObject> in_place;
  if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, in_place.ReceiveVoid())))
    in_place->SetObjectRects(&rect, &rect);
}

void WebView::SetDpi(int dpi) { host_->SetDpi(dpi, base::DpiOfWindow(nullptr)); }

bool WebView::TranslateKey(MSG& message) {
  // Every message of the loop comes here: only keys cost a look at the
  // browser's window.
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  return ForwardKeyToBrowser(active_.get(), window(), message);
}

bool ForwardKeyToBrowser(IOleInPlaceActiveObject* active, HWND browser_window, MSG& message) {
  if (!active || !browser_window || message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  if (message.hwnd != browser_window && !IsChild(browser_window, message.hwnd)) return false;
  return active->TranslateAccelerator(&message) == S_OK;
}

HWND WebView::window() const {
  ComPtr<IOleWindow> window;
  HWND hwnd = nullptr;
  if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleWindow, window.ReceiveVoid()))) window->GetWindow(&hwnd);
  return hwnd;
}

IUnknown* WebView::host() const { return static_cast<IOleClientSite*>(host_.get()); }

bool WebView::PageShown() const { return host_->PageShown(); }

ComPtr<IUnknown> MakeWebHostForTesting(HWND parent, std::wstring_view page, IUnknown* browser,
                                       std::function<void(bool)> show, std::function<void()> stop,
                                       std::function<void(int)> zoom) {
  RECT r{0, 0, 10, 10};
  auto* host = new WebHost(parent, r, base::kDefaultDpi, base::kDefaultDpi);
  host->PointAt(page);
  if (browser) host->Attach(browser, std::move(show), std::move(stop), std::move(zoom));
  return ComPtr<IUnknown>::Adopt(static_cast<IOleClientSite*>(host));
}

void SetWebHostDpiForTesting(IUnknown* host, int dpi, int system_dpi) {
  static_cast<WebHost*>(static_cast<IOleClientSite*>(host))->SetDpi(dpi, system_dpi);
}

}  // namespace varnello::ui
