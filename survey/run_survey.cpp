#include "survey/run_survey.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnello {
namespace {

constexpr std::u16string_view kNoticeTitle = u"提示";
constexpr std::u16string_view kStartNotice = u"检测中请稍等……";
constexpr std::u16string_view kEndNotice = u"检测完毕";

// wbemFlagReturnImmediately (16) + wbemFlagForwardOnly (32).
constexpr std::int32_t kImmediateForwardOnly = 48;
constexpr std::int32_t kHiddenWindow = 0;

constexpr std::u16string_view kConnectionPrefix = uR"(winmgmts:\\)";
constexpr std::u16string_view kThisComputer = u".";
constexpr std::u16string_view kCimNamespace = uR"(\root\cimv2)";
constexpr std::u16string_view kImpersonationMoniker = u"winmgmts:{impersonationLevel=impersonate}";
constexpr std::u16string_view kSecondMoniker = uR"(winmgmts:\\)";

// Connection names of wired adapters on Chinese systems begin with one of
// these: 本地连接 up to Windows 7, 以太网 from Windows 8 on. Since Windows 8
// "本地连接* N" names only Windows' own virtual Wi-Fi Direct adapters.
constexpr std::u16string_view kLocalConnection = u"本地连接";
constexpr std::u16string_view kEthernet = u"以太网";
constexpr std::u16string_view kVirtualLocalConnection = u"本地连接*";

template <class T>
Status Keep(std::unique_ptr<T>& holder, Result<std::unique_ptr<T>> made) {
  if (!made) return made.error();
  holder = std::move(made).value();
  return {};
}

Status Keep(SurveyValue& holder, Result<SurveyValue> made) {
  if (!made) return made.error();
  holder = std::move(made).value();
  return {};
}

// The survey's steps in order. A step is a function returning Status; the
// first failure inside it abandons the rest of that step and the run goes on
// with the next one, so a label changes only when its whole step succeeds.
class Survey {
 public:
  Survey(SurveyDisplay& display, SurveyPlatform& platform)
      : display_(display), platform_(platform), format_(platform.Format()) {}

  Status Run();

 private:
  template <class F>
  static void Step(F&& step) {
    (void)step();  // failure already abandoned the step; nothing else to undo
  }

  // Runs `body` for every row. When the enumeration cannot be opened (no
  // collection, or an error when enumerating it or fetching its first row),
  // the body runs once without a row, so every property read in it fails.
  // An error while advancing ends the loop.
  template <class Body>
  static void ForEachRow(const std::unique_ptr<RowCollection>& rows, Body&& body) {
    if (!rows) return body(nullptr);
    auto enumerator = rows->Enumerate();
    if (!enumerator) return body(nullptr);
    auto first = (*enumerator)->Next();
    if (!first) return body(nullptr);
    for (std::unique_ptr<SurveyRow> row = std::move(first).value(); row;) {
      body(row.get());
      auto next = (*enumerator)->Next();
      if (!next) break;
      row = std::move(next).value();
    }
  }

  static Result<SurveyValue> Read(SurveyRow* row, std::u16string_view name) {
    if (!row) return Error{hr::kObjectRequired};
    return row->Get(name);
  }

  static Result<std::unique_ptr<RowCollection>> Query(const std::unique_ptr<ServiceConnection>& on,
                                                      std::u16string_view query,
                                                      std::optional<std::int32_t> flags = {}) {
    if (!on) return Error{hr::kObjectRequired};
    return on->ExecQuery(query, flags);
  }

  Status RunHidden(std::u16string_view command, std::optional<bool> wait) {
    if (!shell_) return Error{hr::kObjectRequired};
    return shell_->Run(command, kHiddenWindow, wait);
  }

  using Values = std::vector<SurveyValue>;

  // One query whose every row sets one label: the row's properties are read
  // in the order named, and the first that cannot be read abandons the row.
  template <class Show>
  void LabelPerRow(std::unique_ptr<RowCollection>& rows, std::u16string_view query,
                   std::optional<std::int32_t> flags, std::initializer_list<std::u16string_view> properties,
                   Show&& show) {
    Step([&] { return Keep(rows, Query(main_connection_, query, flags)); });
    ForEachRow(rows, [&](SurveyRow* row) {
      Step([&]() -> Status {
        Values values;
        for (std::u16string_view name : properties) {
          auto value = Read(row, name);
          if (!value) return value.error();
          values.push_back(std::move(value).value());
        }
        return show(values);
      });
    });
  }

  Status Caption(ResultLabel label, Result<std::u16string> text) {
    if (!text) return text.error();
    return display_.SetCaption(label, *text);
  }

  // Whether the row's connection name is a wired one's. A row whose
  // connection name cannot be read at all counts as matching.
  bool IsLocalConnection(SurveyRow* row) {
    auto id = Read(row, u"NetConnectionID");
    if (!id) return true;
    if (id->is_null()) return false;
    std::u16string text = TextOf(*id, format_);
    auto begins = [&](std::u16string_view prefix) { return std::u16string_view(text).substr(0, prefix.size()) == prefix; };
    return (begins(kLocalConnection) && !begins(kVirtualLocalConnection)) || begins(kEthernet);
  }

  SurveyDisplay& display_;
  SurveyPlatform& platform_;
  const NumberFormat format_;

  // Run state; all of it goes when the run ends.
  std::unique_ptr<ShellObject> shell_;
  std::unique_ptr<ServiceConnection> main_connection_, second_connection_;
  std::unique_ptr<RowCollection> os_rows_, board_rows_, firmware_rows_, processor_rows_,
      video_rows_, sound_rows_, adapter_rows_, module_rows_, system_rows_, drive_rows_;
  SurveyValue total_, module_count_, adapter_name_, size_text_;
};

Status Survey::Run() {
  if (Status s = display_.ShowNotice(kStartNotice, kNoticeTitle, kNoticeInfo); !s) return s;
  if (Status s = display_.SetProgressVisible(true); !s) return s;
  total_ = SurveyValue::Whole(0);

  // Prepare the service: register the scripting runtime, make the service
  // start automatically, and start it.
  Step([&] { return Keep(shell_, platform_.CreateObject(u"wscript.shell")); });
  Step([&] { return RunHidden(u"%comspec% /c regsvr32 /s scrrun.dll", true); });
  Step([&] { return RunHidden(u"%comspec% /c sc config winmgmt start= auto", true); });
  Step([&] { return RunHidden(u"%comspec% /c net start winmgmt", std::nullopt); });

  Step([&] {
    std::u16string moniker(kConnectionPrefix);
    moniker += kThisComputer;
    moniker += kCimNamespace;
    return Keep(main_connection_, platform_.GetObject(moniker));
  });

  Step([&]() -> Status {
    std::unique_ptr<ServiceConnection> impersonating;
    if (Status s = Keep(impersonating, platform_.GetObject(kImpersonationMoniker)); !s) return s;
    return Keep(os_rows_, impersonating->InstancesOf(u"Win32_OperatingSystem"));
  });
  ForEachRow(os_rows_, [&](SurveyRow* row) {
    Step([&]() -> Status {
      auto caption = Read(row, u"Caption");
      if (!caption) return caption.error();
      return display_.SetCaption(ResultLabel::Windows, Join({u"系统：", *caption}, format_));
    });
  });

  LabelPerRow(board_rows_, u"select * from win32_baseboard", {}, {u"Manufacturer", u"product"},
              [&](const Values& v) {
                return display_.SetCaption(ResultLabel::zhuban, Join({v[0], u"型号:", v[1]}, format_));
              });
  LabelPerRow(firmware_rows_, u"Select * from Win32_BIOS", {}, {u"Version"}, [&](const Values& v) {
    return display_.SetCaption(ResultLabel::BIOS, Join({u"版本:", v[0]}, format_));
  });
  LabelPerRow(processor_rows_, u"select * from win32_processor", {}, {u"Name"},
              [&](const Values& v) { return Caption(ResultLabel::cpuz, CaptionText(v[0], format_)); });
  LabelPerRow(video_rows_, u"select * from win32_videocontroller", kImmediateForwardOnly, {u"Description"},
              [&](const Values& v) { return Caption(ResultLabel::xianka, CaptionText(v[0], format_)); });
  LabelPerRow(sound_rows_, u"Select * from Win32_SoundDevice", {}, {u"ProductName"},
              [&](const Values& v) { return Caption(ResultLabel::shengka, CaptionText(v[0], format_)); });

  Step([&] {
    return Keep(adapter_rows_, Query(main_connection_, u"Select * from Win32_NetworkAdapter",
                                     kImmediateForwardOnly));
  });
  ForEachRow(adapter_rows_, [&](SurveyRow* row) {
    if (IsLocalConnection(row)) Step([&] { return Keep(adapter_name_, Read(row, u"Name")); });
  });
  Step([&] { return Caption(ResultLabel::wangka, CaptionText(adapter_name_, format_)); });

  Step([&] {
    return Keep(module_rows_, Query(main_connection_, u"Select * from Win32_PhysicalMemory",
                                    kImmediateForwardOnly));
  });
  ForEachRow(module_rows_, [&](SurveyRow* row) {
    Step([&]() -> Status {
      auto capacity = Read(row, u"capacity");
      if (!capacity) return capacity.error();
      return Keep(total_, Sum(total_, *capacity, format_));
    });
    Step([&] { return Keep(module_count_, Sum(module_count_, SurveyValue::Whole(1), format_)); });
  });

  Step([&] { return Keep(second_connection_, platform_.GetObject(kSecondMoniker)); });
  Step([&]() -> Status {
    if (!second_connection_) return Error{hr::kObjectRequired};
    return Keep(system_rows_, second_connection_->InstancesOf(u"win32_computersystem"));
  });
  ForEachRow(system_rows_, [&](SurveyRow*) {
    Step([&] { return Caption(ResultLabel::neicun, MemoryText(total_, module_count_, format_)); });
  });

  Step([&] { return Keep(drive_rows_, Query(main_connection_, u"select * from win32_diskdrive")); });
  ForEachRow(drive_rows_, [&](SurveyRow* row) {
    Step([&]() -> Status {
      auto size = Read(row, u"Size");
      if (!size) return size.error();
      auto text = DiskSizeText(*size, format_);
      if (!text) return text.error();
      size_text_ = SurveyValue::Text(std::move(text).value());
      return {};
    });
    Step([&]() -> Status {
      auto model = Read(row, u"Model");
      if (!model) return model.error();
      return display_.SetCaption(ResultLabel::yp, Join({size_text_, u" 型号:", *model}, format_));
    });
  });

  Step([&] { return display_.SetProgressVisible(false); });
  Step([&] { return display_.ShowNotice(kEndNotice, kNoticeTitle, kNoticeInfo); });
  return {};
}

}  // namespace

const char* LabelName(ResultLabel label) {
  switch (label) {
    case ResultLabel::Windows: return "Windows";
    case ResultLabel::zhuban: return "zhuban";
    case ResultLabel::BIOS: return "BIOS";
    case ResultLabel::cpuz: return "cpuz";
    case ResultLabel::xianka: return "xianka";
    case ResultLabel::shengka: return "shengka";
    case ResultLabel::wangka: return "wangka";
    case ResultLabel::neicun: return "neicun";
    case ResultLabel::yp: return "yp";
  }
  return "";
}

Status RunSurvey(SurveyDisplay& display, SurveyPlatform& platform) {
  return Survey(display, platform).Run();
}

}  // namespace varnello
