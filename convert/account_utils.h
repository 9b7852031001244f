// Account number, IBAN and BIC utilities, and bounded substrings.
//
// Pure functions on text: they keep no state and report nothing; each answers yes/no or
// returns a text. Start positions are 0-based.
#pragma once

#include <string>
#include <string_view>

namespace varnex {

// The rest of `text` from `start`; empty when `start` lies at or beyond the end. A negative
// start counts as 0.
std::string_view SafeMidFrom(std::string_view text, long start);
// Up to `count` characters of `text` from `start`; empty when `start` lies at or beyond the
// end or `count` is not positive. A negative start counts as 0.
std::string_view SafeMid(std::string_view text, long start, long count);

// Matches `value` against `pattern` position by position: 'A' upper-case letter, 'a'
// lower-case letter, '$' either, '9' digit, '#' upper-case letter or digit, '?' anything,
// any other character itself. Fails unless
// length(pattern) >= length(value) >= minLength and length(pattern) >= minLength.
bool MatchTemplate(std::string_view value, std::string_view pattern, std::size_t minLength);

// ISO 13616 IBAN check (MOD 97-10); a short Hungarian IBAN is completed with zeros.
bool IsValidIban(std::string_view candidate);
// The two check digits (98 minus MOD 97) of `text`, "%02d"; "00" for 2 characters or fewer.
std::string Mod97CheckDigits(std::string_view text);
// The Hungarian IBAN of a bank code and a domestic account number (padded or cut to 16).
std::string MakeHuIban(std::string_view bankCode, std::string_view account);
// True when MakeHuIban(bankCode, account) is a Hungarian IBAN made of the given digits alone:
// a bank code of 8 digits and an account of 8 or 16 digits (no padding of other lengths).
bool IsHuIbanSource(std::string_view bankCode, std::string_view account);
// The check digit of the bank and branch block of a Hungarian account number (8 digits).
bool CheckDomestic8(std::string_view digits);
// The check digit of the account block of a 16-digit Hungarian account number.
bool CheckDomestic16(std::string_view digits);
// A BIC of 8 or 11 characters (cut at the first blank): six letters, then letters or digits.
bool IsWellFormedBic(std::string_view field);

}  // namespace varnex
