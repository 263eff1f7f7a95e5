#include "server/request_log.h"

#include <algorithm>
#include <string_view>

namespace horavex {
namespace {

// The longest line: "Adres:" + 15 address characters + " poort:" + 4 digits + CR LF.
constexpr std::size_t kLineMax = 6 + 15 + 7 + 4 + 2;

// Builds one line without printf: the log is updated for every request of a flood.
class Line {
 public:
  void Put(std::string_view s) {
    const std::size_t n = std::min(s.size(), text_.size() - size_);
    std::copy_n(s.data(), n, text_.data() + size_);
    size_ += n;
  }
  // A number 0-255 in decimal, without leading zeros.
  void PutByte(std::uint8_t value) {
    if (value >= 100) PutDigit(value / 100);
    if (value >= 10) PutDigit(value / 10 % 10);
    PutDigit(value % 10);
  }
  // "%04X" of a 16-bit number: always exactly four digits.
  void PutHex4(std::uint16_t value) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) Put(kDigits.substr((value >> shift) & 0xF, 1));
  }
  std::string_view View() const { return {text_.data(), size_}; }

 private:
  void PutDigit(int digit) { Put(std::string_view("0123456789").substr(static_cast<std::size_t>(digit), 1)); }

  std::array<char, kLineMax> text_{};
  std::size_t size_ = 0;
};

}  // namespace

RequestLog::RequestLog() {
  // The log never outgrows one cut plus one line, so it is never reallocated while a flood is logged.
  text_.reserve(kCutAbove + kLineMax);
}

void RequestLog::Add(RequestTransport transport, const std::array<std::uint8_t, 4>& address, std::uint16_t port) {
  Line line;
  line.Put(transport == RequestTransport::Tcp ? "Adres:" : "UDP: ");
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) line.Put(".");
    line.PutByte(address[i]);
  }
  line.Put(" poort:");
  line.PutHex4(port);
  line.Put("\r\n");
  text_.insert(0, line.View());
  if (text_.size() > kCutAbove) text_.resize(kCutTo);
}

}  // namespace horavex
