// The MT text serializer shared by the HUA and INT writers.
//
// A node list describes the lines of an MT document: a node with a tag starts a field
// (":20:", ":59:/"), the nodes with an empty tag that follow it are that field's
// continuation lines. Each node's value is formatted by its code, cleared of CR and LF, and
// written as tag, value and LF; a line whose value is empty is left out.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "convert/payment_records.h"
#include "output/output_node.h"

namespace varnex {

// The longest line an MT writer composes from several record fields; longer compositions
// are cut to it.
inline constexpr std::size_t kMaxComposedLineLength = 140;

// Cuts `line` to kMaxComposedLineLength characters.
void CutComposedLine(std::string* line);

// Appends the MT text of `nodes` to `out`. Values by format code: 's' the text up to a zero
// byte; 'a' an amount with two decimals and a decimal comma; 'n' the integer; 'b' the
// integer as one unsigned byte; 'd' and 't' the ISO date and time stamp; 'x' the first
// byteCount bytes up to a zero byte; any other code gives no value. A field whose first line
// is empty keeps its tag, alone on its line, when one of its continuation lines is written;
// a field without any non-empty line is left out entirely. Returns false when a
// continuation line starts with ':', which would read back as a field of its own.
bool SerializeMtNodes(const NodeList& nodes, std::string* out);
// As above, each line ending in `lineEnd`, which is LF or CR LF. Values lose their CR and LF,
// so the line ends are the only ones in the text.
bool SerializeMtNodes(const NodeList& nodes, std::string_view lineEnd, std::string* out);

// Whether text written by an MT writer reads back as it was written. An order's values are
// free text and may hold what the format uses as structure: a message start marker ("{1:"
// in HUA files, ":20:" in INT files, anywhere in a line), the header end ":07:", the HUA
// block trailer "-}" or the reference tag. Such a document would be cut differently by its
// reader, merging, splitting or changing orders, so it must not be written.
//
// `header`: the header section as written, ending in its ":07:" line; it may hold neither
// the message start marker nor ":07:" before that line.
// `lineEnd` is the line end the text was written with, LF or CR LF.
bool MtHeaderReadsBack(std::string_view header, bool hua, std::string_view lineEnd = "\n");
// `message`: one message as written. It holds the message start marker exactly once, its
// first ":20:" starts the reference line, and (HUA) "-}" stands only in its last line.
bool MtMessageReadsBack(std::string_view message, bool hua, std::string_view lineEnd = "\n");

// Appends one field: its tag with the first line, then the continuation lines.
void AppendMtField(NodeList& nodes, std::string_view tag,
                   std::initializer_list<std::string_view> lines);

// The fields both writers build alike from a payment: the ordering customer (":50:"), the
// beneficiary bank (":57A:" with its BIC, else ":57D:" with name and address), and the
// remittance information with the charges code (":70:", ":71A:").
void AppendOrderingCustomer(NodeList& nodes, const PaymentRecord& p);
void AppendBeneficiaryBank(NodeList& nodes, const PaymentRecord& p);
void AppendRemittanceAndCharges(NodeList& nodes, const PaymentRecord& p);

}  // namespace varnex
