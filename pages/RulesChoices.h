// What the Barcode Rules dialog lists in its two combo boxes, and the texts
// of its status line and preview. Plain C++: no Windows headers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/FormatSettings.h"
#include "delivery/BarcodeRules.h"
#include "delivery/RuleText.h"

// "Text encoding": one item for each encoding, in the order of TextEncoding.
std::vector<std::string> EncodingItems();
TextEncoding EncodingOfItem(int index);
int EncodingItemIndex(TextEncoding encoding);

// "GS1 group separator": typed as today, as Tab, as Enter, as "|", or not at all.
std::vector<std::string> SeparatorItems();
ControlChoice SeparatorOfItem(int index);
// -1 when the text gives the separator a choice that is no item (the box
// then shows none).
int SeparatorItemIndex(const ControlChoice& choice);

// The status line under the rules: the first error, or that there is none.
std::string RulesStatusText(const RuleText& parsed);

// What shapes the preview: none for the default settings (every byte typed
// as it is), as the typist has none then.
std::unique_ptr<const BarcodeShaper> PreviewShaper(const ShapingSettings& settings, const AnsiCodePage& ansi);

// The preview of a sample (its text as the Sample field takes it, UTF-8):
// what would be typed for it with `shaper` and the Format page's settings,
// in the Trace page's notation, or the rule that skips it, or what is wrong
// with the sample. Empty for an empty sample.
std::string RulesPreviewText(std::string_view sampleText, const BarcodeShaper* shaper, const FormatSettings& format,
                             const AnsiCodePage& ansi);
