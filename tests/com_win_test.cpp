// The COM side of the survey against hand-made scripting objects: the calls
// it makes, the VARIANTs it understands, and the references it leaves.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/com_win.h"
#include "base/utf.h"
#include "survey/run_survey.h"
#include "survey/native_rows.h"
#include "survey/wmi_platform_win.h"
#include "tests/support/fake_survey.h"

namespace varnello {
namespace {

int g_live = 0;  // fake COM objects not yet destroyed

struct Call {
  std::wstring name;
  std::vector<VARTYPE> arg_types;  // in natural order
};
std::vector<Call> g_calls;

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// The result of a member; fills *result or fails.
using Member = std::function<HRESULT(VARIANT* result)>;

// A COM object of one interface that counts itself in g_live while it lives.
template <class Interface>
class Counted : public Interface {
 public:
  explicit Counted(REFIID iid) : iid_(iid) { ++g_live; }
  virtual ~Counted() { --g_live; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == iid_) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (!n) delete this;
    return n;
  }

 private:
  IID iid_;
  ULONG refs_ = 1;
};

class FakeEnum final : public Counted<IEnumVARIANT> {
 public:
  explicit FakeEnum(std::vector<Member> items) : Counted(IID_IEnumVARIANT), items_(std::move(items)) {}
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    if (count != 1) return E_INVALIDARG;
    *fetched = 0;
    if (next_ >= items_.size()) return S_FALSE;
    HRESULT hr = items_[next_++](out);
    if (SUCCEEDED(hr)) *fetched = 1;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

 private:
  std::vector<Member> items_;
  std::size_t next_ = 0;
};

// A scripting object whose members are given by name (matched regardless of
// case); DISPID_NEWENUM is the member "_newenum".
class FakeObject final : public Counted<IDispatch> {
 public:
  FakeObject() : Counted(IID_IDispatch) {}
  std::map<std::wstring, std::function<HRESULT(DISPPARAMS*, VARIANT*)>> members;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    std::wstring name = Lower(names[0]);
    auto it = members.find(name);
    if (it == members.end()) return DISP_E_UNKNOWNNAME;
    ids[0] = static_cast<DISPID>(std::distance(members.begin(), it)) + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    auto it = members.begin();
    if (id == DISPID_NEWENUM) {
      it = members.find(L"_newenum");
    } else if (id >= 1 && id <= static_cast<DISPID>(members.size())) {
      std::advance(it, id - 1);
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (it == members.end()) return DISP_E_MEMBERNOTFOUND;
    Call call{it->first, {}};
    for (UINT i = params->cArgs; i-- > 0;) call.arg_types.push_back(params->rgvarg[i].vt);
    g_calls.push_back(call);
    // The scripting objects insist on both flags for reads.
    if (flags != (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) return E_NOTIMPL;
    return it->second(params, result);
  }
};

Member Text(const wchar_t* s) {
  std::wstring text = s;
  return [text](VARIANT* v) {
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(text.c_str());
    return S_OK;
  };
}

Member Object(std::function<FakeObject*()> make) {
  return [make](VARIANT* v) {
    v->vt = VT_DISPATCH;
    v->pdispVal = make();
    return S_OK;
  };
}

// A row with the given properties.
FakeObject* MakeRow(const std::map<std::wstring, Member>& properties) {
  auto* row = new FakeObject;
  for (const auto& [name, member] : properties)
    row->members[Lower(name)] = [member](DISPPARAMS* p, VARIANT* r) {
      return p->cArgs ? DISP_E_BADPARAMCOUNT : member(r);
    };
  return row;
}

// A collection whose enumerator hands out `items`.
FakeObject* MakeCollection(std::vector<Member> items) {
  auto* rows = new FakeObject;
  rows->members[L"_newenum"] = [items](DISPPARAMS*, VARIANT* r) {
    r->vt = VT_UNKNOWN;
    r->punkVal = new FakeEnum(items);
    return S_OK;
  };
  return rows;
}

using Listings = std::map<std::wstring, std::vector<std::map<std::wstring, Member>>>;

// A service connection answering ExecQuery and InstancesOf from `listings`.
FakeObject* MakeService(const Listings& listings) {
  auto* service = new FakeObject;
  auto answer = [listings](DISPPARAMS* p, VARIANT* r) -> HRESULT {
    if (p->cArgs < 1 || p->rgvarg[p->cArgs - 1].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    auto it = listings.find(p->rgvarg[p->cArgs - 1].bstrVal);
    if (it == listings.end()) return static_cast<HRESULT>(0x80041010);  // invalid class
    std::vector<Member> items;
    for (const auto& props : it->second) {
      // A row of the empty name alone is handed out as that value, not as an object.
      const auto only = props.find(L"");
      items.push_back(only != props.end() ? only->second : Object([props] { return MakeRow(props); }));
    }
    r->vt = VT_DISPATCH;
    r->pdispVal = MakeCollection(items);
    return S_OK;
  };
  service->members[L"execquery"] = answer;
  service->members[L"instancesof"] = answer;
  return service;
}

FakeObject* MakeShell() {
  auto* shell = new FakeObject;
  shell->members[L"run"] = [](DISPPARAMS*, VARIANT* r) {
    r->vt = VT_I4;
    r->lVal = 0;
    return S_OK;
  };
  return shell;
}

Listings PlainListings() {
  return {
      {L"Win32_OperatingSystem", {{{L"Caption", Text(L"Microsoft Windows 7 旗舰版")}}}},
      {L"select * from win32_baseboard", {{{L"Manufacturer", Text(L"Gigabyte")}, {L"Product", Text(L"G31M")}}}},
      {L"Select * from Win32_BIOS", {{{L"Version", Text(L"GBT    - 42302e31")}}}},
      {L"select * from win32_processor", {{{L"Name", Text(L"Pentium(R) Dual-Core CPU E5300")}}}},
      {L"select * from win32_videocontroller", {{{L"Description", Text(L"Intel G33/G31")}}}},
      {L"Select * from Win32_SoundDevice", {{{L"ProductName", Text(L"Realtek HD Audio")}}}},
      {L"Select * from Win32_NetworkAdapter", {{{L"Name", Text(L"Realtek PCIe"), }, {L"NetConnectionID", Text(L"本地连接")}}}},
      {L"Select * from Win32_PhysicalMemory", {{{L"Capacity", Text(L"1073741824")}}}},
      {L"win32_computersystem", {{{L"Name", Text(L"PC")}}}},
      {L"select * from win32_diskdrive", {{{L"Size", Text(L"320070320640")}, {L"Model", Text(L"ST3320")}}}},
  };
}

WmiPlatform FakePlatform(const Listings& listings) {
  auto bind = [listings](std::wstring_view moniker) -> Result<ComPtr<IDispatch>> {
    if (moniker.rfind(L"winmgmts:", 0) != 0) return ComError(MK_E_SYNTAX);
    return ComPtr<IDispatch>::Adopt(MakeService(listings));
  };
  auto create = [](std::wstring_view prog_id) -> Result<ComPtr<IDispatch>> {
    if (prog_id != L"wscript.shell") return ComError(CO_E_CLASSSTRING);
    return ComPtr<IDispatch>::Adopt(MakeShell());
  };
  return WmiPlatform(bind, create);
}

class ComSurvey : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    ASSERT_EQ(g_live, 0);
  }
  void TearDown() override { EXPECT_EQ(g_live, 0) << "COM objects leaked"; }
};

// Arguments in the shapes the system's scripting objects take: Wine's accept
// others that Windows refuses.
TEST_F(ComSurvey, CallsTheScriptingObjectsAsAScriptWould) {
  testing::RecordingDisplay display;
  {
    WmiPlatform platform = FakePlatform(PlainListings());
    ASSERT_TRUE(RunSurvey(display, platform).ok());
  }
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::Windows)), "系统：Microsoft Windows 7 旗舰版");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::neicun)), "1024 MB / 1条");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::yp)), "298.09 GB 型号:ST3320");

  std::vector<std::vector<VARTYPE>> run_args, query_args;
  for (const auto& call : g_calls) {
    if (call.name == L"run") run_args.push_back(call.arg_types);
    if (call.name == L"execquery") query_args.push_back(call.arg_types);
  }
  // run(command, 0, True) twice, then run(command, 0) without waiting.
  EXPECT_EQ(run_args, (std::vector<std::vector<VARTYPE>>{
                          {VT_BSTR, VT_I4, VT_BOOL}, {VT_BSTR, VT_I4, VT_BOOL}, {VT_BSTR, VT_I4}}));
  // Queries with flags leave the language out explicitly; the others pass
  // the query alone.
  const std::vector<VARTYPE> plain = {VT_BSTR}, flagged = {VT_BSTR, VT_ERROR, VT_I4};
  EXPECT_EQ(query_args, (std::vector<std::vector<VARTYPE>>{plain, plain, plain, flagged, plain, flagged,
                                                           flagged, plain}));
}

TEST_F(ComSurvey, OddValuesKeepTheRunGoing) {
  Listings listings = PlainListings();
  auto value = [](VARTYPE vt, auto set) {
    return Member([vt, set](VARIANT* v) {
      v->vt = vt;
      set(*v);
      return S_OK;
    });
  };
  listings[L"select * from win32_processor"] = {{{L"Name", value(VT_I4, [](VARIANT& v) { v.lVal = 42; })}}};
  listings[L"select * from win32_videocontroller"] = {
      {{L"Description", value(VT_DISPATCH, [](VARIANT& v) { v.pdispVal = new FakeObject; })}}};
  listings[L"Select * from Win32_SoundDevice"] = {};
  listings[L"Select * from Win32_PhysicalMemory"] = {
      {{L"Capacity", value(VT_UI8, [](VARIANT& v) { v.ullVal = 4294967296ull; })}},
      {{L"Capacity", value(VT_NULL, [](VARIANT&) {})}},
  };
  listings[L"Select * from Win32_BIOS"] = {
      {{L"Version", [](VARIANT*) { return static_cast<HRESULT>(0x80041002); }}}};  // not found
  listings[L"select * from win32_diskdrive"] = {
      {{L"Size", value(VT_R8, [](VARIANT& v) { v.dblVal = 1e300 * 1e300; })}, {L"Model", Text(L"inf")}},
      {{L"Size", value(VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; })}, {L"Model", Text(L"nul")}},
  };
  // An enumerator that hands out something other than an object ends its loop.
  listings[L"Select * from Win32_NetworkAdapter"] = {
      {{L"Name", Text(L"A")}, {L"NetConnectionID", Text(L"本地连接")}},
      {{L"", value(VT_I4, [](VARIANT& v) { v.lVal = 7; })}},
      {{L"Name", Text(L"B")}, {L"NetConnectionID", Text(L"本地连接")}},
  };

  testing::RecordingDisplay display;
  {
    WmiPlatform platform = FakePlatform(listings);
    ASSERT_TRUE(RunSurvey(display, platform).ok());
  }
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::cpuz)), "42");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::xianka)), "");  // an object is no text
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::BIOS)), "");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::neicun)), " MB / 2条");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::wangka)), "A");
  // The infinite size cannot be read; the empty one spells no number.
  EXPECT_EQ(display.CaptionCalls().back(), "SetCaption\typ\t 型号:nul");
  EXPECT_EQ(display.calls.back(), "ShowNotice\t检测完毕\t提示\t1");
}

// The system's own sources stand in for a moniker that cannot be bound, and
// only then: a query failing on a bound connection stays a failure.
TEST_F(ComSurvey, OnlyAnUnboundMonikerTurnsToTheSystemsOwnSources) {
  class OwnSources final : public NativeSources {
   public:
    std::vector<NativeRow> Rows(NativeClass listing) override {
      if (listing == NativeClass::kComputerSystem) return {NativeRow{}};
      return {{{u"Version", SurveyValue::Text(u"own")}}};
    }
  };
  int fallbacks = 0;
  auto fallback = [&fallbacks] {
    ++fallbacks;
    return MakeNativeConnection(std::make_shared<OwnSources>());
  };
  Listings listings = PlainListings();
  listings.erase(L"Select * from Win32_BIOS");
  auto bind = [listings](std::wstring_view moniker) -> Result<ComPtr<IDispatch>> {
    if (moniker == L"winmgmts:\\\\") return ComError(HRESULT_FROM_WIN32(ERROR_SERVICE_DISABLED));
    return ComPtr<IDispatch>::Adopt(MakeService(listings));
  };
  testing::RecordingDisplay display;
  {
    WmiPlatform platform(bind, [](std::wstring_view) -> Result<ComPtr<IDispatch>> { return ComError(E_FAIL); },
                         fallback);
    ASSERT_TRUE(RunSurvey(display, platform).ok());
  }
  EXPECT_EQ(fallbacks, 1);
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::BIOS)), "");
  EXPECT_EQ(ToUtf8(display.Shown(ResultLabel::neicun)), "1024 MB / 1条");
}

TEST_F(ComSurvey, UnknownPropertyIsAFailureNotANull) {
  ComPtr<IDispatch> row = ComPtr<IDispatch>::Adopt(MakeRow({{L"Name", Text(L"eth0")}}));
  auto missing = CallByName(row.get(), L"NetConnectionID");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error().code, static_cast<std::int32_t>(DISP_E_UNKNOWNNAME));
  auto name = CallByName(row.get(), L"NAME");
  ASSERT_TRUE(name.ok());
  EXPECT_EQ(ToUtf8(ToSurveyValue(name->get())->text()), "eth0");
}

TEST(ToSurveyValue, VariantTypes) {
  auto convert = [](VARTYPE vt, auto set) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    set(v);
    auto r = ToSurveyValue(v);
    VariantClear(&v);
    return r;
  };
  EXPECT_TRUE(convert(VT_EMPTY, [](VARIANT&) {})->is_unset());
  EXPECT_TRUE(convert(VT_NULL, [](VARIANT&) {})->is_null());
  EXPECT_EQ(*convert(VT_I2, [](VARIANT& v) { v.iVal = -5; }), SurveyValue::Whole(-5));
  EXPECT_EQ(*convert(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; }), SurveyValue::Whole(4000000000));
  EXPECT_EQ(*convert(VT_UI8, [](VARIANT& v) { v.ullVal = ~0ull; }), SurveyValue::Real(18446744073709551615.0));
  EXPECT_EQ(*convert(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), SurveyValue::Whole(-1));
  EXPECT_EQ(*convert(VT_R4, [](VARIANT& v) { v.fltVal = 0.5f; }), SurveyValue::Real(0.5));
  EXPECT_FALSE(convert(VT_R8, [](VARIANT& v) { v.dblVal = std::numeric_limits<double>::quiet_NaN(); }).ok());
  EXPECT_EQ(*convert(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 25000; }), SurveyValue::Real(2.5));
  EXPECT_FALSE(convert(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; }).ok());
  EXPECT_TRUE(convert(VT_DATE, [](VARIANT& v) { v.date = 40000.5; })->kind() == SurveyValue::Kind::kText);
  EXPECT_EQ(*convert(VT_BSTR, [](VARIANT& v) { v.bstrVal = SysAllocStringLen(L"a\0b", 3); }),
            SurveyValue::Text(std::u16string(u"a\0b", 3)));
  EXPECT_FALSE(convert(VT_ARRAY | VT_BSTR, [](VARIANT& v) {
                 v.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
               }).ok());
  LONG referenced = 12;
  EXPECT_EQ(*convert(VT_I4 | VT_BYREF, [&](VARIANT& v) { v.plVal = &referenced; }), SurveyValue::Whole(12));
}

}  // namespace
}  // namespace varnello
