// The test build's probe. Commands arrive as UTF-8, fields split by tabs:
//   dump<TAB>path            writes the window's state as JSON to path
//   caption<TAB>name<TAB>text sets a label's caption
//   frame1<TAB>0|1           hides or shows the progress frame
//   dpi<TAB>n                 moves the window to a density of n pixels per
//                             inch, as a move between monitors does, with the
//                             system's rectangle: the old one scaled
#include "ui/probe_win.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/dyn_calls_win.h"
#include "base/utf.h"
#include "survey/wmi_platform_win.h"
#include "tray/tray_win.h"
#include "ui/accessible_win.h"
#include "ui/pc_win.h"

namespace varnello::ui {
namespace {

std::vector<std::u16string>& Started() {
  static std::vector<std::u16string> started;
  return started;
}

int g_surveys = 0;       // surveys started, by any way
int g_key_repeats = 0;   // auto-repeated key-downs the window's thread took from its queue

// Sees every message the thread takes, those a survey drops too.
LRESULT CALLBACK CountRepeats(int code, WPARAM wparam, LPARAM lparam) {
  const auto* message = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && message->message == WM_KEYDOWN && (message->lParam & (1 << 30)))
    ++g_key_repeats;
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts(1);
  for (char c : s) {
    if (c == '\t')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// The management service, each connection to it made after a pause.
class PacedPlatform final : public SurveyPlatform {
 public:
  explicit PacedPlatform(DWORD pause_ms) : pause_ms_(pause_ms) {}
  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view prog_id) override {
    return service_.CreateObject(prog_id);
  }
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view moniker) override {
    if (pause_ms_) Sleep(pause_ms_);
    return service_.GetObject(moniker);
  }
  NumberFormat Format() const override { return service_.Format(); }

 private:
  DWORD pause_ms_;
  WmiPlatform service_;
};

std::string Number(long long n) { return std::to_string(n); }

// What the probe reads and sets of the window.
class PcProbe {
 public:
  static std::string Dump(Pc& pc) {
    std::string out = "{\"captions\": {";
    bool first = true;
    for (int i = 0; i < kControlCount; ++i) {
      if (kControls[static_cast<std::size_t>(i)].kind != ControlKind::kLabel) continue;
      if (!first) out += ", ";
      first = false;
      out += JsonQuote(FromUtf8(kControls[static_cast<std::size_t>(i)].name)) + ": " +
             JsonQuote(pc.Caption(static_cast<ControlId>(i)));
    }
    RECT client = pc.ClientOnScreen();
    const tray::IconRecord& r = tray::CurrentIconRecord();
    out += "}, \"frame1\": " + std::string(pc.Frame1Visible() ? "true" : "false");
    out += ", \"jiance_colour\": " + Number(pc.JianceColour());
    out += ", \"visible\": " + std::string(IsWindowVisible(pc.hwnd()) ? "true" : "false");
    out += ", \"iconic\": " + std::string(IsIconic(pc.hwnd()) ? "true" : "false");
    out += ", \"dpi\": " + Number(pc.dpi());
    out += ", \"client\": [" + Number(client.left) + ", " + Number(client.top) + ", " + Number(client.right) +
           ", " + Number(client.bottom) + "]";
    RECT outer;
    GetWindowRect(pc.hwnd(), &outer);
    out += ", \"window\": [" + Number(outer.left) + ", " + Number(outer.top) + ", " + Number(outer.right) + ", " +
           Number(outer.bottom) + "]";
    out += ", \"web_view\": " + std::string(pc.web_view() ? "true" : "false");
    out += ", \"surveys\": " + Number(g_surveys) + ", \"key_repeats\": " + Number(g_key_repeats);
    out += ", \"tray\": {\"hIcon\": " + Number(static_cast<long long>(r.hIcon != 0)) +
           ", \"tip\": " + JsonQuote(r.szTip) + ", \"info\": " + JsonQuote(r.szInfo) +
           ", \"title\": " + JsonQuote(r.szInfoTitle) + "}";
    out += ", \"started\": [";
    for (std::size_t i = 0; i < Started().size(); ++i) out += (i ? ", " : "") + JsonQuote(Started()[i]);
    out += "], \"accessible\": " + Accessible(pc) + "}\n";
    return out;
  }

  // What a reader finds: each child's name and its place on screen.
  static std::string Accessible(Pc& pc) {
    ComPtr<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(pc.hwnd(), static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                          object.ReceiveVoid())))
      return "[]";
    long count = 0;
    object->get_accChildCount(&count);
    std::string out = "[";
    for (long child = 1; child <= count; ++child) {
      VARIANT id;
      VariantInit(&id);
      id.vt = VT_I4;
      id.lVal = child;
      Bstr name;
      object->get_accName(id, name.Receive());
      long l = 0, t = 0, w = 0, h = 0;
      object->accLocation(&l, &t, &w, &h, id);
      out += (child > 1 ? ", " : "") + std::string("{\"child\": ") + Number(child) + ", \"name\": " +
             JsonQuote(std::u16string(name.view().begin(), name.view().end())) + ", \"at\": [" + Number(l) +
             ", " + Number(t) + ", " + Number(w) + ", " + Number(h) + "]}";
    }
    return out + "]";
  }

  static bool SetCaption(Pc& pc, const std::string& name, const std::string& text) {
    for (int i = 0; i < kControlCount; ++i)
      if (name == kControls[static_cast<std::size_t>(i)].name)
        return pc.SetCaption(static_cast<ControlId>(i), FromUtf8(text)).ok();
    return false;
  }
};

bool HandleProbeMessage(Pc& pc, const COPYDATASTRUCT& data) {
  if (data.dwData != kProbeMagic || !data.lpData) return false;
  const std::vector<std::string> args =
      Split(std::string(static_cast<const char*>(data.lpData), data.cbData));
  if (args[0] == "dump" && args.size() == 2) {
    std::string json = PcProbe::Dump(pc);
    std::u16string path = FromUtf8(args[1]);
    FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), L"wb");
    if (!f) return false;
    std::fwrite(json.data(), 1, json.size(), f);
    std::fclose(f);
    return true;
  }
  if (args[0] == "caption" && args.size() == 3) return PcProbe::SetCaption(pc, args[1], args[2]);
  if (args[0] == "frame1" && args.size() == 2) return pc.SetFrame1Visible(args[1] == "1").ok();
  if (args[0] == "dpi" && args.size() == 2) {
    const int dpi = std::atoi(args[1].c_str());
    if (dpi <= 0) return false;
    RECT r;
    GetWindowRect(pc.hwnd(), &r);
    RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, dpi, pc.dpi()),
                   r.top + MulDiv(r.bottom - r.top, dpi, pc.dpi())};
    SendMessageW(pc.hwnd(), base::kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    return pc.dpi() == dpi;
  }
  return false;
}

}  // namespace

std::function<bool(Pc&, const COPYDATASTRUCT&)> ProbeHandler() {
  SetWindowsHookExW(WH_GETMESSAGE, CountRepeats, nullptr, GetCurrentThreadId());
  return HandleProbeMessage;
}

std::function<Status(std::wstring_view, int)> ProbeStartFunction() {
  return [](std::wstring_view command_line, int window_style) -> Status {
    Started().push_back(std::u16string(command_line.begin(), command_line.end()) + u" [style " +
                        FromUtf8(std::to_string(window_style)) + u"]");
    return {};
  };
}

std::function<std::unique_ptr<SurveyPlatform>()> ProbePlatformFunction() {
  const char* pause = std::getenv("VARNELLO_PROBE_SURVEY_PAUSE_MS");
  const DWORD pause_ms = pause ? static_cast<DWORD>(std::strtoul(pause, nullptr, 10)) : 0;
  return [pause_ms]() -> std::unique_ptr<SurveyPlatform> {
    ++g_surveys;
    return std::make_unique<PacedPlatform>(pause_ms);
  };
}

}  // namespace varnello::ui
