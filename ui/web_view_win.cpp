#include "ui/web_view_win.h"

#include <downloadmgr.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <ocidl.h>

namespace varnello::ui {
namespace {

// IID_IDownloadManager, which is also the service's SID; MinGW's uuid
// library lacks it.
constexpr IID kDownloadManager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};

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
  WebHost(HWND parent, const RECT& rect) : parent_(parent), rect_(rect) {}
  void SetRect(const RECT& rect) { rect_ = rect; }

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
    info->dwFlags = DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_NO3DBORDER;
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
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
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
    switch (id) {
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

  ULONG refs_ = 1;
  HWND parent_;
  RECT rect_;
};

std::unique_ptr<WebView> WebView::Create(HWND parent, const RECT& rect) {
  std::unique_ptr<WebView> view(new WebView);
  view->host_ = ComPtr<WebHost>::Adopt(new WebHost(parent, rect));
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
  view->browser_->put_Silent(VARIANT_TRUE);
  view->browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
  view->browser_->put_RegisterAsBrowser(VARIANT_FALSE);

  ComPtr<IConnectionPointContainer> points;
  if (SUCCEEDED(view->browser_->QueryInterface(IID_IConnectionPointContainer, points.ReceiveVoid()))) {
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())))
      point->Advise(static_cast<IDispatch*>(view->host_.get()), &view->events_cookie_);
  }
  view->SetRect(rect);
  return view;
}

WebView::~WebView() {
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

HWND WebView::window() const {
  ComPtr<IOleWindow> window;
  HWND hwnd = nullptr;
  if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleWindow, window.ReceiveVoid()))) window->GetWindow(&hwnd);
  return hwnd;
}

IUnknown* WebView::host() const { return static_cast<IOleClientSite*>(host_.get()); }

ComPtr<IUnknown> MakeWebHostForTesting(HWND parent) {
  RECT r{0, 0, 10, 10};
  return ComPtr<IUnknown>::Adopt(static_cast<IOleClientSite*>(new WebHost(parent, r)));
}

}  // namespace varnello::ui
