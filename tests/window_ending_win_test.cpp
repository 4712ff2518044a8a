// The ways the program ends, each in a child process of its own: the icon
// deleted on the way, an error or an exception named first.
#include <string>

#include "tests/support/window_support_win.h"

namespace varnello {
namespace {

// The process ends at once, the icon deleted on the way: the delete names
// the window and uID 1, and carries the balloon's flags left in the record.
void ExpectEndedWithDelete(const std::string& how) {
  SCOPED_TRACE(how);
  Ending e = RunChild(how);
  EXPECT_EQ(e.exit_code, 0u);
  ASSERT_GE(e.trail.size(), 4u);
  EXPECT_EQ(e.trail[0].substr(0, 5), "0 7 1");   // add
  EXPECT_EQ(e.trail[1].substr(0, 6), "1 16 1");  // welcome balloon
  const std::string window = e.trail[2].substr(7);
  EXPECT_EQ(e.trail.back(), "2 16 1 " + window);
  int deletes = 0;
  for (const auto& l : e.trail) deletes += l.rfind("2 ", 0) == 0;
  EXPECT_EQ(deletes, 1) << "no unload handler runs after the end";
}

TEST(Ending, CloseRequestDeletesTheIconAndEnds) { ExpectEndedWithDelete("close"); }

TEST(Ending, LogOffDeletesTheIconAndEnds) { ExpectEndedWithDelete("endsession"); }

// Wine's notification area drops the icon of a window that is gone; the
// system's keeps it until the pointer passes over it, so the end to end
// run cannot see this one.
TEST(Ending, MenuExitDeletesTheIconAndEnds) { ExpectEndedWithDelete("menu"); }

// The program names the error in a message box, then ends with exit code
// 1, the icon deleted on the way.
void ExpectShownThenEnded(const std::string& how, const std::string& code) {
  SCOPED_TRACE(how);
  Ending e = RunChild(how);
  EXPECT_EQ(e.exit_code, 1u);
  ASSERT_GE(e.trail.size(), 5u);
  const std::string& message = e.trail[e.trail.size() - 2];
  EXPECT_EQ(message.rfind("message ", 0), 0u) << message;
  EXPECT_NE(message.find(code), std::string::npos) << message;
  EXPECT_EQ(e.trail.back().substr(0, 7), "2 16 1 ") << "the icon goes with the program";
}

TEST(Ending, AnErrorNoHandlerDealsWithIsShownThenEnds) { ExpectShownThenEnded("linkfail", "0x80070002"); }

// A system library the program loads on first call, missing or refused:
// its first call ends the program like an error, never with the loader's
// unhandled exception. Run where Wine refuses oleacc (the test
// library_failure), as no other test here is.
TEST(LibraryFailure, TheReadersBridgeMissingIsShownThenEnds) { ExpectShownThenEnded("noreader", "0x8007"); }

// A C++ exception, here in the survey, is caught at the window procedure
// and ends the program like an error: named, then the end.
TEST(Ending, AnExceptionIsShownThenEnds) { ExpectShownThenEnded("surveythrow", "0x8007000E"); }

}  // namespace
}  // namespace varnello
