// Test doubles for the survey: a scripted management service that can fail
// any chosen call, and a display that records what it is told.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "survey/survey_display.h"
#include "survey/survey_platform.h"

namespace varnello::testing {

struct FakeRow {
  // Looked up regardless of case, as the service does.
  std::vector<std::pair<std::u16string, SurveyValue>> properties;

  FakeRow& Set(std::u16string name, SurveyValue value) {
    properties.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  FakeRow& Set(std::u16string name, std::u16string text) {
    return Set(std::move(name), SurveyValue::Text(std::move(text)));
  }
};

struct FakeListing {
  std::vector<FakeRow> rows;
  bool fail_obtain = false;                 // the query or class listing itself fails
  bool fail_enumerate = false;              // opening the enumeration fails
  std::optional<std::size_t> fail_fetch_at;  // fetching row k (0-based; k == rows.size() is the end)
  int enumerations = 0;                     // how often it was opened
};

// The listings are keyed by query text (ExecQuery) or class name
// (InstancesOf); a key the test did not script fails like an unknown class.
class FakeService : public SurveyPlatform {
 public:
  std::map<std::u16string, FakeListing> listings;
  std::set<std::u16string> failing_monikers;
  std::set<std::u16string> failing_commands;
  bool fail_create_object = false;
  NumberFormat format;

  // Platform calls in order, UTF-8: "CreateObject wscript.shell",
  // "Run <command> style=0 wait=true|none", "GetObject <moniker>",
  // "ExecQuery <moniker> | <query> | flags=48|none", "InstancesOf <moniker> | <class>".
  std::vector<std::string> calls;
  // Objects handed out and not yet released.
  std::shared_ptr<int> live = std::make_shared<int>(0);

  FakeListing& Listing(const std::u16string& key) { return listings[key]; }

  Result<std::unique_ptr<ShellObject>> CreateObject(std::u16string_view prog_id) override;
  Result<std::unique_ptr<ServiceConnection>> GetObject(std::u16string_view moniker) override;
  NumberFormat Format() const override { return format; }

  // Used by the fake objects.
  Result<std::unique_ptr<RowCollection>> List(const std::u16string& moniker, const std::string& call,
                                              const std::u16string& key);
  Status RunCommand(std::u16string_view command, std::int32_t style, std::optional<bool> wait);
};

// A service that answers every listing of a survey with one plausible row.
FakeService OneRowService();

class RecordingDisplay : public SurveyDisplay {
 public:
  // Lines as display_log.h formats them.
  std::vector<std::string> calls;
  // What each label shows now.
  std::map<ResultLabel, std::u16string> captions;
  // Makes the calls it returns true for fail, given the line of the call.
  std::function<bool(const std::string& line)> fail_if;

  Status SetCaption(ResultLabel label, std::u16string_view text) override;
  Status SetProgressVisible(bool visible) override;
  Status ShowNotice(std::u16string_view text, std::u16string_view title,
                    std::int32_t icon_kind) override;

  // Caption lines only, in order.
  std::vector<std::string> CaptionCalls() const;
  std::u16string Shown(ResultLabel label) const;

 private:
  bool Fails(const std::string& line) const { return fail_if && fail_if(line); }
};

}  // namespace varnello::testing
