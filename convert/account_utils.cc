#include "convert/account_utils.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "util/ascii.h"

namespace varnex {

namespace {

bool MatchesClass(char c, char pattern) {
  switch (pattern) {
  case 'A':
    return IsUpper(c);
  case 'a':
    return IsLower(c);
  case '$':
    return IsLetter(c);
  case '9':
    return IsDigit(c);
  case '#':
    return IsUpper(c) || IsDigit(c);
  case '?':
    return true;
  default:
    return c == pattern;
  }
}

// Feeds one character into a running MOD 97 remainder, an upper-case letter as its two-digit
// number (A = 10 ... Z = 35). Reducing digit by digit gives the same remainder as reducing
// the whole digit string nine digits at a time. Any other character carries no digits.
unsigned Mod97Step(unsigned remainder, char c) {
  if (IsDigit(c)) {
    return (remainder * 10 + static_cast<unsigned>(c - '0')) % 97;
  }
  if (IsUpper(c)) {
    return (remainder * 100 + static_cast<unsigned>(c - 'A' + 10)) % 97;
  }
  return remainder;
}

// Mod97Step over `text`. The digits are gathered in a 64-bit number that is reduced only
// before it could overflow, which leaves the remainder as it is.
unsigned Mod97(std::string_view text, unsigned remainder = 0) {
  constexpr std::uint64_t kReduceAbove = std::uint64_t{1} << 56;
  std::uint64_t value = remainder;
  for (char c : text) {
    if (IsDigit(c)) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
    } else if (IsUpper(c)) {
      value = value * 100 + static_cast<std::uint64_t>(c - 'A' + 10);
    } else {
      continue;
    }
    if (value >= kReduceAbove) {
      value %= 97;
    }
  }
  return static_cast<unsigned>(value % 97);
}

constexpr std::string_view kIbanTemplate = "AA99##############################";
constexpr std::size_t kIbanMinLength = 5;
constexpr std::size_t kHuIbanLength = 28;
constexpr std::size_t kHuAccountLength = 16;

// Weighted check digit of a Hungarian account block: weights 9, 7, 3, 1 repeated over all
// digits but the last, which is the check digit.
bool CheckWeighted(std::string_view digits, std::size_t length) {
  if (digits.size() != length) {
    return false;
  }
  static constexpr std::array<unsigned, 4> kWeights = {9, 7, 3, 1};
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (!IsDigit(digits[i])) {
      return false;
    }
    if (i + 1 < length) {
      sum += kWeights[i % 4] * static_cast<unsigned>(digits[i] - '0');
    }
  }
  unsigned r = sum % 10;
  unsigned expected = r == 0 ? 0 : 10 - r;
  return static_cast<unsigned>(digits[length - 1] - '0') == expected;
}

}  // namespace

std::string_view SafeMidFrom(std::string_view text, long start) {
  if (start < 0) {
    start = 0;
  }
  if (static_cast<std::size_t>(start) >= text.size()) {
    return {};
  }
  return text.substr(static_cast<std::size_t>(start));
}

std::string_view SafeMid(std::string_view text, long start, long count) {
  if (count <= 0) {
    return {};
  }
  return SafeMidFrom(text, start).substr(0, static_cast<std::size_t>(count));
}

bool MatchTemplate(std::string_view value, std::string_view pattern, std::size_t minLength) {
  if (pattern.size() < value.size() || value.size() < minLength || pattern.size() < minLength) {
    return false;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (!MatchesClass(value[i], pattern[i])) {
      return false;
    }
  }
  return true;
}

bool IsValidIban(std::string_view candidate) {
  // MatchTemplate(candidate, kIbanTemplate, kIbanMinLength), spelled out: this check runs
  // several times per order.
  if (candidate.size() < kIbanMinLength || candidate.size() > kIbanTemplate.size() ||
      !IsUpper(candidate[0]) || !IsUpper(candidate[1]) || !IsDigit(candidate[2]) ||
      !IsDigit(candidate[3]) || !std::all_of(candidate.begin() + 4, candidate.end(), [](char c) {
        return IsUpper(c) || IsDigit(c);
      })) {
    return false;
  }
  // The check runs over the rearranged text BBAN + country + "00"; a Hungarian IBAN's BBAN
  // is first completed with zeros (or cut) to the 24 characters of a 28-character IBAN.
  std::string_view bban = candidate.substr(4);
  unsigned remainder = 0;
  if (candidate.substr(0, 2) == "HU") {
    std::size_t bbanLength = kHuIbanLength - 4;
    remainder = Mod97(bban.substr(0, bbanLength));
    for (std::size_t i = bban.size(); i < bbanLength; ++i) {
      remainder = Mod97Step(remainder, '0');
    }
  } else {
    remainder = Mod97(bban);
  }
  remainder = Mod97(candidate.substr(0, 2), remainder);
  remainder = Mod97("00", remainder);
  unsigned expected =
      static_cast<unsigned>(candidate[2] - '0') * 10 + static_cast<unsigned>(candidate[3] - '0');
  return 98 - remainder == expected;
}

std::string Mod97CheckDigits(std::string_view text) {
  if (text.size() <= 2) {
    return "00";
  }
  unsigned check = 98 - Mod97(text);
  return std::string{static_cast<char>('0' + check / 10), static_cast<char>('0' + check % 10)};
}

std::string MakeHuIban(std::string_view bankCode, std::string_view account) {
  std::string bban(bankCode);
  std::string_view cut = account.substr(0, std::min(account.size(), kHuAccountLength));
  bban.append(cut);
  bban.append(kHuAccountLength - cut.size(), '0');
  std::string iban = "HU" + Mod97CheckDigits(bban + "HU00");
  iban.append(bban);
  return iban;
}

bool IsHuIbanSource(std::string_view bankCode, std::string_view account) {
  auto allDigits = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsDigit);
  };
  return bankCode.size() == 8 && allDigits(bankCode) &&
         (account.size() == 8 || account.size() == kHuAccountLength) && allDigits(account);
}

bool CheckDomestic8(std::string_view digits) {
  return CheckWeighted(digits, 8);
}

bool CheckDomestic16(std::string_view digits) {
  return CheckWeighted(digits, 16);
}

bool IsWellFormedBic(std::string_view field) {
  // The record field holds at most 12 bytes; its text ends at the first blank or zero.
  std::string_view bic = field.substr(0, std::min<std::size_t>(field.size(), 12));
  bic = bic.substr(0, std::min(bic.find(' '), bic.find('\0')));
  if (bic.size() != 8 && bic.size() != 11) {
    return false;
  }
  for (std::size_t i = 0; i < bic.size(); ++i) {
    bool ok = i < 6 ? IsLetter(bic[i]) : IsLetter(bic[i]) || IsDigit(bic[i]);
    if (!ok) {
      return false;
    }
  }
  return true;
}

}  // namespace varnex
