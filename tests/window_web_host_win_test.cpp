// The announcement strip's host, driven by stand-ins that behave as the
// browser control is documented to: what the page may do, when it is
// shown, its zoom, its sounds and its keys.
#include <windows.h>
#include <downloadmgr.h>
#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/com_win.h"
#include "base/density_win.h"
#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "ui/web_view_win.h"

namespace varnello {
namespace {

HRESULT Invoke(IDispatch* d, DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr) {
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, nullptr, nullptr);
}

VARIANT Plain(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

VARIANT ByRefBool(VARIANT_BOOL* b) {
  VARIANT v = Plain(VT_BYREF | VT_BOOL);
  v.pboolVal = b;
  return v;
}

TEST(WebHost, KeepsThePageToItself) {
  ComPtr<IUnknown> host = ui::MakeWebHostForTesting(nullptr);
  auto dispatch = host.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(dispatch.ok());

  // No ActiveX controls or Java in the page; its own pictures still load.
  VARIANT control;
  VariantInit(&control);
  ASSERT_EQ(Invoke(dispatch->get(), DISPID_AMBIENT_DLCONTROL, {}, &control), S_OK);
  ASSERT_EQ(control.vt, VT_I4);
  const DWORD wanted = DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_JAVA | DLCTL_DLIMAGES;
  EXPECT_EQ(static_cast<DWORD>(control.lVal) & wanted, wanted);

  VARIANT_BOOL cancel = VARIANT_FALSE;
  // NewWindow2(ppDisp, Cancel), arguments last to first.
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_NEWWINDOW2, {ByRefBool(&cancel), Plain(VT_BYREF | VT_DISPATCH)}), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_NEWWINDOW3,
                   {Plain(VT_BSTR), Plain(VT_BSTR), Plain(VT_I4), ByRefBool(&cancel), Plain(VT_BYREF | VT_DISPATCH)}),
            S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);

  // FileDownload(ActiveDocument, Cancel): a file is refused, the page is not.
  VARIANT active = Plain(VT_BOOL);
  active.boolVal = VARIANT_FALSE;
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_FILEDOWNLOAD, {ByRefBool(&cancel), active}), S_OK);
  EXPECT_EQ(cancel, VARIANT_TRUE);
  active.boolVal = VARIANT_TRUE;
  cancel = VARIANT_FALSE;
  EXPECT_EQ(Invoke(dispatch->get(), DISPID_FILEDOWNLOAD, {ByRefBool(&cancel), active}), S_OK);
  EXPECT_EQ(cancel, VARIANT_FALSE);

  // Downloads are taken over by the host and dropped.
  auto services = host.As<IServiceProvider>(IID_IServiceProvider);
  ASSERT_TRUE(services.ok());
  const IID download_manager = {0x988934a4, 0x064b, 0x11d3, {0xbb, 0x80, 0x00, 0x10, 0x4b, 0x35, 0xe7, 0xf9}};
  IDownloadManager* manager = nullptr;
  ASSERT_EQ((*services)->QueryService(download_manager, download_manager, reinterpret_cast<void**>(&manager)), S_OK);
  EXPECT_EQ(manager->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), S_OK);
  manager->Release();

  auto ui_handler = host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  ASSERT_TRUE(ui_handler.ok());
  POINT p{0, 0};
  EXPECT_EQ((*ui_handler)->ShowContextMenu(0, &p, nullptr, nullptr), S_OK) << "no context menu";
  IDispatch* external = reinterpret_cast<IDispatch*>(1);
  (*ui_handler)->GetExternal(&external);
  EXPECT_EQ(external, nullptr);
}

// Raises the browser control's navigation events on the host, with itself
// or a frame as pDisp, the way the control does.
class FakeBrowser final : public IDispatch {
 public:
  void Connect(IDispatch* host) { host_ = host; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // Each returns whether the host let the navigation go on.
  bool BeforeNavigate(const wchar_t* url, IDispatch* who = nullptr) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Url u(url);
    Raise(DISPID_BEFORENAVIGATE2, {ByRefBool(&cancel), Plain(VT_BYREF | VT_VARIANT), Plain(VT_BYREF | VT_VARIANT),
                                   Plain(VT_BYREF | VT_VARIANT), Plain(VT_BYREF | VT_VARIANT), u.arg, Who(who)});
    return cancel == VARIANT_FALSE;
  }
  bool NavigateError(const wchar_t* url, LONG status, IDispatch* who = nullptr) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Url u(url);
    VARIANT code = Plain(VT_I4);
    code.lVal = status;
    VARIANT code_ref = Plain(VT_BYREF | VT_VARIANT);
    code_ref.pvarVal = &code;
    Raise(DISPID_NAVIGATEERROR, {ByRefBool(&cancel), code_ref, Plain(VT_BYREF | VT_VARIANT), u.arg, Who(who)});
    return cancel == VARIANT_FALSE;
  }
  void Complete(const wchar_t* url, IDispatch* who = nullptr) {
    Url u(url);
    Raise(DISPID_NAVIGATECOMPLETE2, {u.arg, Who(who)});
    Raise(DISPID_DOCUMENTCOMPLETE, {u.arg, Who(who)});
  }

 private:
  struct Url {
    explicit Url(const wchar_t* text) : bstr(SysAllocString(text)), value(Plain(VT_BSTR)) {
      value.bstrVal = bstr;
      arg = Plain(VT_BYREF | VT_VARIANT);
      arg.pvarVal = &value;
    }
    ~Url() { SysFreeString(bstr); }
    BSTR bstr;
    VARIANT value, arg;
  };
  VARIANT Who(IDispatch* who) {
    VARIANT v = Plain(VT_DISPATCH);
    v.pdispVal = who ? who : this;
    return v;
  }
  void Raise(DISPID id, std::vector<VARIANT> args) {
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    ASSERT_NE(host_, nullptr);
    EXPECT_EQ(host_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK) << id;
  }
  IDispatch* host_ = nullptr;
};

// A browser on the stack, its host pointed at the announcement page.
struct Strip {
  FakeBrowser browser;
  FakeBrowser frame;
  std::vector<bool> shown;  // what the host reported, in order
  std::vector<int> zooms;   // the optical zooms it set, in per cent
  int stops = 0;
  ComPtr<IUnknown> host;
  ComPtr<IDispatch> events;

  explicit Strip(const wchar_t* page) {
    host = ui::MakeWebHostForTesting(
        nullptr, page, static_cast<IDispatch*>(&browser), [this](bool s) { shown.push_back(s); },
        [this] { ++stops; }, [this](int percent) { zooms.push_back(percent); });
    auto d = host.As<IDispatch>(IID_IDispatch);
    if (d) events = std::move(d).value();
    browser.Connect(events.get());
    frame.Connect(events.get());
  }
  bool Shown() const { return !shown.empty() && shown.back(); }
};

constexpr wchar_t kPage[] = L"http://notice.tessmor.com/vip/hardware/gonggao.html";

// The browser's events reach the strip's rules: a failure keeps it white,
// a frame's failure does not, a navigation elsewhere is cancelled, and a
// redirect elsewhere is stopped.
TEST(AnnouncementStrip, TheBrowsersEventsDecidedByTheStripsRules) {
  Strip failed(kPage);
  ASSERT_TRUE(failed.events);
  EXPECT_TRUE(failed.browser.BeforeNavigate(kPage));
  EXPECT_FALSE(failed.browser.NavigateError(kPage, INET_E_RESOURCE_NOT_FOUND)) << "no error page";
  failed.browser.Complete(kPage);  // the browser completes whatever it has
  EXPECT_FALSE(failed.Shown());

  Strip strip(kPage);
  EXPECT_TRUE(strip.browser.BeforeNavigate(kPage));
  EXPECT_TRUE(strip.browser.BeforeNavigate(L"http://notice.tessmor.com/box.html", &strip.frame));
  strip.browser.NavigateError(L"http://notice.tessmor.com/box.html", 404, &strip.frame);
  EXPECT_FALSE(strip.Shown()) << "white while loading";
  strip.browser.Complete(kPage);
  EXPECT_TRUE(strip.Shown());
  EXPECT_FALSE(strip.browser.BeforeNavigate(L"http://notice.tessmor.com@example.net/"));
  EXPECT_FALSE(strip.browser.BeforeNavigate(L"javascript:top.location='x'", &strip.frame));
  EXPECT_TRUE(strip.Shown()) << "a cancelled navigation leaves the page";
  EXPECT_EQ(strip.stops, 0);
  EXPECT_TRUE(strip.browser.BeforeNavigate(L"http://notice.tessmor.com/moved"));
  strip.browser.Complete(L"http://elsewhere.example.net/");
  EXPECT_EQ(strip.stops, 1);
  EXPECT_FALSE(strip.Shown());
}

// Told that its host is aware of densities, the browser scales the page by
// the system's; the zoom makes up what the window's differs from it, once
// the document is there and after each change of density.
TEST(AnnouncementStrip, ThePageAtTheWindowsDensityWithoutScrollbars) {
  Strip strip(kPage);
  auto ui_handler = strip.host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  ASSERT_TRUE(ui_handler.ok());
  DOCHOSTUIINFO info{};
  info.cbSize = sizeof info;
  ASSERT_EQ((*ui_handler)->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags & (DOCHOSTUIFLAG_DPI_AWARE | DOCHOSTUIFLAG_SCROLL_NO),
            static_cast<DWORD>(DOCHOSTUIFLAG_DPI_AWARE | DOCHOSTUIFLAG_SCROLL_NO));
  ui::SetWebHostDpiForTesting(strip.host.get(), 144, 96);  // on a monitor denser than the system
  strip.browser.BeforeNavigate(kPage);
  EXPECT_EQ(strip.zooms, std::vector<int>{}) << "nothing to zoom while loading";
  strip.browser.Complete(kPage);
  EXPECT_EQ(strip.zooms, std::vector<int>{150});
  ui::SetWebHostDpiForTesting(strip.host.get(), 120, 120);  // moved to one of the system's density
  EXPECT_EQ(strip.zooms, (std::vector<int>{150, 100})) << "the system's scale is the browser's own";
}

std::vector<std::vector<long>> g_features;
HRESULT WINAPI RecordFeature(int feature, DWORD flags, BOOL enable) {
  g_features.push_back({feature, static_cast<long>(flags), enable});
  return S_OK;
}

TEST(AnnouncementStrip, NavigatingMakesNoSound) {
  g_features.clear();
  base::Dyn().CoInternetSetFeatureEnabled.Set(RecordFeature);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  const RECT r{0, 0, 100, 20};
  // With or without a browser control to show.
  (void)ui::WebView::Create(parent, r, base::kDefaultDpi);
  base::Dyn().CoInternetSetFeatureEnabled.Reset();
  DestroyWindow(parent);
  EXPECT_EQ(g_features, (std::vector<std::vector<long>>{
                            {FEATURE_DISABLE_NAVIGATION_SOUNDS, SET_FEATURE_ON_PROCESS, TRUE}}));
}

// The browser's active object as documented: it offers each key to its
// host's IDocHostUIHandler::TranslateAccelerator, and takes the key when
// the host did.
class FakeActiveObject final : public IOleInPlaceActiveObject {
 public:
  explicit FakeActiveObject(IDocHostUIHandler* host) : host_(host) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IOleInPlaceActiveObject ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    ++offered;
    return host_->TranslateAccelerator(message, nullptr, 0) == S_OK ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  int offered = 0;

 private:
  IDocHostUIHandler* host_;
};

TEST(AnnouncementStrip, BrowserKeysAreSwallowedNoneReachTheWindow) {
  ComPtr<IUnknown> host = ui::MakeWebHostForTesting(nullptr, kPage);
  auto ui_handler = host.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  auto frame = host.As<IOleInPlaceFrame>(IID_IOleInPlaceFrame);
  ASSERT_TRUE(ui_handler.ok() && frame.ok());
  auto key = [](UINT message, WPARAM vk) {
    MSG m{};
    m.message = message;
    m.wParam = vk;
    return m;
  };
  // F5 refreshes, Backspace and Alt+Left go back, Alt+Home goes home.
  for (MSG m : {key(WM_KEYDOWN, VK_F5), key(WM_KEYDOWN, VK_BACK), key(WM_SYSKEYDOWN, VK_LEFT),
                key(WM_SYSKEYDOWN, VK_HOME), key(WM_KEYDOWN, VK_BROWSER_REFRESH)}) {
    EXPECT_EQ((*ui_handler)->TranslateAccelerator(&m, nullptr, 0), S_OK) << "key " << m.wParam;
    EXPECT_EQ((*frame)->TranslateAccelerator(&m, 0), S_FALSE) << "the window takes no key of the page";
  }
  MSG letter = key(WM_KEYDOWN, 'A');
  EXPECT_EQ((*ui_handler)->TranslateAccelerator(&letter, nullptr, 0), S_FALSE) << "typing stays the page's";

  // The message loop offers the browser the keys aimed inside it, and only
  // those, so that the filter above runs at all.
  FakeActiveObject active(ui_handler->get());
  HWND browser = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  HWND page = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 20, browser, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  auto to = [&](HWND window, UINT message, WPARAM vk) {
    MSG m = key(message, vk);
    m.hwnd = window;
    return ui::ForwardKeyToBrowser(&active, browser, m);
  };
  EXPECT_TRUE(to(page, WM_KEYDOWN, VK_F5)) << "taken: the loop dispatches it no further";
  EXPECT_FALSE(to(page, WM_KEYDOWN, 'A'));
  EXPECT_EQ(active.offered, 2);
  EXPECT_FALSE(to(other, WM_KEYDOWN, VK_F5));
  EXPECT_FALSE(to(page, WM_LBUTTONDOWN, 0));
  EXPECT_EQ(active.offered, 2) << "nothing else is offered";
  for (HWND w : {page, browser, other}) DestroyWindow(w);
}

}  // namespace
}  // namespace varnello
