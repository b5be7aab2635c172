// The shaping settings as text, one line each: what the user writes and the
// settings keep. Plain C++: no Windows headers.
//
// Each line is one of these (words in any case; a # outside quotes starts a
// comment that runs to the end of the line; empty lines are skipped):
//
//   encoding ENCODING           how the barcode's bytes become characters
//   control NAME CHOICE         what one control byte is typed as
//   if CONDITION then ACTIONS   a rule: the first whose condition holds applies
//   always ACTIONS              a rule that always holds
//
//   ENCODING  := as-today | ansi | utf-8 | automatic
//   NAME      := NUL SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI DLE
//                DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM SUB ESC FS GS RS US DEL
//                (the Trace page's names of the bytes 0x00..0x1F and 0x7F)
//   CHOICE    := as-today | nothing | text TEXT | KEY
//   KEY       := key [ctrl] KEYNAME
//   KEYNAME   := ENTER | TAB | SPACE | LEFT | RIGHT | UP | DOWN
//   CONDITION := begins TEXT | ends TEXT | contains TEXT
//              | length N | length N..M       (in characters, both ends included)
//              | pattern PATTERN              (ECMAScript, matched anywhere: anchor with ^ $)
//              | gs1                          (a whole GS1 element string)
//   ACTIONS   := ACTION [; ACTION]... [and continue]
//   ACTION    := strip-start N | strip-end N  (N characters)
//              | replace TEXT with TEXT       (every occurrence)
//              | replace-pattern PATTERN with TEXT    ($1..$99 the groups, $& the match, $$ a $)
//              | replace-pattern TEXT         (the rule's own pattern condition)
//              | add-before TEXT | add-before KEY | add-after TEXT | add-after KEY
//              | gs1-parentheses              ("(01)09501101020917(10)ABC123")
//              | skip                         (the barcode is not typed)
//   N, M      := 0 to 9999
//   TEXT      := a double-quoted text of at most 256 bytes, in which
//                \\ is a backslash, \" a quote, \t \r \n tab, carriage return
//                and line feed, and \xHH the byte HH (two hex digits)
//   PATTERN   := a TEXT; in it any other backslash is kept for the pattern
//                ("\d+" is the pattern \d+), and the pattern must compile
//
// "and continue" lets the rules below look at the barcode too. Texts
// compare and replace as bytes, like the barcode's bytes (\x1D is the GS1
// group separator). For example:
//
//   encoding automatic
//   control GS key TAB
//   if ends "\x1D" then strip-end 1 and continue      # a separator at the end goes
//   if begins "01" then gs1-parentheses
//   if length 8..14 then strip-end 1; add-after key TAB
//   if pattern "^(\d+)-(\d+)$" then replace-pattern "$2$1"
//   if contains "TEST" then skip
//
// PrintRuleText writes settings back in this form, one line for the
// encoding unless it is as-today, one for each control byte not typed as
// today, then the rules; ParseRuleText of that text gives the same settings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/BarcodeRules.h"

constexpr size_t MaxRules = 100;
constexpr size_t MaxRuleTextBytes = 256;
constexpr size_t MaxRuleNumber = 9999;

struct RuleTextError {
    size_t line = 0;    // from 1
    size_t column = 0;  // from 1, in characters (UTF-8 sequences count one)
    std::string message;
    bool operator==(const RuleTextError&) const = default;
};

struct RuleText {
    ShapingSettings settings;  // from the lines without errors
    std::vector<RuleTextError> errors;  // the first error of each line that has one
};

RuleText ParseRuleText(std::string_view text);

std::string PrintRuleText(const ShapingSettings& settings);

// "line 3, column 14: MESSAGE"
std::string RuleTextErrorText(const RuleTextError& error);
