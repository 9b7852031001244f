// Whether a message may travel as a SEPA credit transfer.
//
// The rules read the message's fields as the reader left them. A country code counts as
// listed when it occurs anywhere in [General] SEPACountries (a plain, case-sensitive
// substring search; separators mean nothing), and the empty code always counts as listed.
#pragma once

#include <string_view>

#include "mt/mt_message.h"

namespace varnex {

class CodePages;

// True when `code` occurs in `sepaCountries`; always true for an empty code.
bool IsListedCountry(std::string_view code, std::string_view sepaCountries);

// A HUA order is SEPA when the country of the beneficiary bank's BIC (57A, characters 5-6)
// is listed, the currency of 32A is "EUR" and 59 line 1 without its first character is a
// valid IBAN.
bool IsHuaSepa(const MtMessage& message, std::string_view sepaCountries);

// An INT order is SEPA when the debtor account of 52A (a valid IBAN of a listed country, or
// a valid 16-digit domestic account with a valid 8-digit bank code in line 2) or, without 52A,
// of 52D (a valid IBAN of a listed country) qualifies, the currency of 32A is "EUR", and 59
// line 1 is "/" followed by a valid IBAN of a listed country.
bool IsIntSepa(const MtMessage& message, std::string_view sepaCountries);

// The rules of IsHuaSepa that `message` fails, one text each; values from the message
// (CP852) are shown in UTF-8 through `codePages`.
std::vector<std::string> HuaSepaFailures(const MtMessage& message, std::string_view sepaCountries,
                                         const CodePages& codePages);

// The rules of IsIntSepa that `message` fails, one text each, as HuaSepaFailures.
std::vector<std::string> IntSepaFailures(const MtMessage& message, std::string_view sepaCountries,
                                         const CodePages& codePages);

}  // namespace varnex
