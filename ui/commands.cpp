#include "ui/commands.h"

#include "base/utf.h"

#ifndef VARNELLO_NOTICE_HOST
#error "VARNELLO_NOTICE_HOST is set by the build"
#endif
#ifndef VARNELLO_HOME_HOST
#error "VARNELLO_HOME_HOST is set by the build"
#endif

namespace varnello::ui {

std::u16string AnnouncementAddress() {
  return u"http://" + FromUtf8(VARNELLO_NOTICE_HOST) + u"/vip/hardware/gonggao.html";
}

std::u16string HomePageAddress() { return u"http://" + FromUtf8(VARNELLO_HOME_HOST); }

std::u16string HomePageCommand() { return u"Explorer   /s   ,   " + HomePageAddress(); }

std::u16string ProgramIn(std::u16string_view folder, std::u16string_view command_line) {
  const std::size_t start = command_line.find_first_not_of(u' ');
  if (start == std::u16string_view::npos) return std::u16string();
  std::u16string_view word = command_line.substr(start);
  word = word.substr(0, word.find(u' '));
  std::u16string program(folder);
  if (!program.empty() && program.back() != u'\\') program += u'\\';
  program += word;
  if (word.find(u'.') == std::u16string_view::npos) program += u".exe";
  return program;
}

std::u16string AppPathOf(std::u16string_view module_path) {
  const std::size_t slash = module_path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos) return std::u16string(module_path);
  std::u16string dir(module_path.substr(0, slash));
  if (dir.size() == 2 && dir[1] == u':') dir += u'\\';  // a drive's root keeps its backslash
  return dir;
}

std::u16string IconPathOf(std::u16string_view app_path) { return std::u16string(app_path) + u"\\icon.ico"; }

}  // namespace varnello::ui
