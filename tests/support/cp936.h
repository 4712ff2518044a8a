// Code page 936 (simplified Chinese GBK) through glibc's iconv, for tests
// that run on Linux.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

#include "tray/icon_record.h"

namespace varnello::testing {

class Cp936 final : public tray::AnsiCodec {
 public:
  Cp936() : cd_(iconv_open("CP936", "UTF-16LE")) {}
  ~Cp936() override {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Cp936(const Cp936&) = delete;
  Cp936& operator=(const Cp936&) = delete;

  std::string Encode(std::u16string_view character, bool* lossy) const override {
    std::string in;
    for (char16_t c : character) {
      in += static_cast<char>(c & 0xFF);
      in += static_cast<char>(c >> 8);
    }
    char out[16];
    char* src = in.data();
    char* dst = out;
    size_t in_left = in.size(), out_left = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &src, &in_left, &dst, &out_left) == static_cast<size_t>(-1)) {
      *lossy = true;
      return "?";
    }
    *lossy = false;
    return std::string(out, static_cast<size_t>(dst - out));
  }

 private:
  iconv_t cd_;
};

}  // namespace varnello::testing
