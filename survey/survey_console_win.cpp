// varnello-survey: runs one hardware survey without a window and prints what
// the survey tells its display, one line per call, UTF-8; with --json, one
// JSON object with the nine labels' final texts instead. With --native the
// listings come from the system's own sources, as where WMI cannot be bound.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/com_win.h"
#include "survey/display_log.h"
#include "survey/run_survey.h"
#include "survey/wmi_platform_win.h"

namespace {

using namespace varnello;

class PrintingDisplay final : public SurveyDisplay {
 public:
  explicit PrintingDisplay(bool quiet) : quiet_(quiet) {}

  Status SetCaption(ResultLabel label, std::u16string_view text) override {
    texts_[static_cast<std::size_t>(label)] = std::u16string(text);
    return Print(CaptionLine(label, text));
  }
  Status SetProgressVisible(bool visible) override { return Print(ProgressLine(visible)); }
  Status ShowNotice(std::u16string_view text, std::u16string_view title,
                    std::int32_t icon_kind) override {
    return Print(NoticeLine(text, title, icon_kind));
  }

  const LabelTexts& texts() const { return texts_; }

 private:
  Status Print(const std::string& line) {
    if (quiet_) return {};
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return {};
  }

  bool quiet_;
  LabelTexts texts_;
};

}  // namespace

int main(int argc, char** argv) {
  bool json = false, native = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (std::strcmp(argv[i], "--native") == 0) {
      native = true;
    } else {
      std::fprintf(stderr, "usage: varnello-survey [--json] [--native]\n");
      return 2;
    }
  }
  _setmode(_fileno(stdout), _O_BINARY);

  ComApartment com;
  PrintingDisplay display(json);
  auto unbound = [](std::wstring_view) -> Result<ComPtr<IDispatch>> { return ComError(static_cast<HRESULT>(0x80041009)); };  // WBEM_E_NOT_AVAILABLE
  WmiPlatform platform = native ? WmiPlatform(unbound, CreateFromProgId, NativeSourcesConnection) : WmiPlatform();
  (void)RunSurvey(display, platform);  // the printing display never fails
  if (json) {
    std::string out = LabelsJson(display.texts()) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return 0;
}
