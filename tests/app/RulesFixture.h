// What the end-to-end tests of the barcode rules share: rules put where the
// program reads them, the program started with the simulated scanner "s1"
// activated, barcodes scanned into a receiving window, and what arrived.
#pragma once

#include <string>
#include <vector>

#include "config/UserOptions.h"
#include "tests/app/RecentFixture.h"

namespace apptest {

// The GS1 label "(01)09501101020917(10)ABC123(21)2112345" as the scanner
// reads it: the variable-length fields end in a group separator (0x1D).
inline const std::string Gs1Label = "0109501101020917\x1D" "10ABC123\x1D" "2112345";

// The barcode rules (or another value of lines) under root's key (the
// user's options or the policies) while this lives: a string of lines apart
// by CR LF, or a multi-string of lines, as the policy template writes it. The
// value goes with it, and the key too when this made it.
class RulesValue {
public:
    RulesValue(HKEY root, const char* key, const std::vector<std::string>& lines, DWORD type = REG_SZ,
               const char* value = BarcodeRulesValue)
        : root_(root), key_(key), value_(value) {
        std::string data;
        for (const std::string& line : lines) data += line + (type == REG_MULTI_SZ ? std::string(1, '\0') : "\r\n");
        data += '\0';  // the string's end; a multi-string's empty last string
        HKEY opened = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, &disposition),
                  ERROR_SUCCESS) << key;
        made_ = disposition == REG_CREATED_NEW_KEY;
        EXPECT_EQ(::RegSetValueExA(opened, value, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS) << key;
        ::RegCloseKey(opened);
    }
    ~RulesValue() {
        HKEY opened = nullptr;
        if (::RegOpenKeyExA(root_, key_, 0, KEY_SET_VALUE, &opened) == ERROR_SUCCESS) {
            EXPECT_EQ(::RegDeleteValueA(opened, value_), ERROR_SUCCESS) << key_;
            ::RegCloseKey(opened);
        }
        if (made_) (void)::RegDeleteKeyA(root_, key_);
    }
    RulesValue(const RulesValue&) = delete;
    RulesValue& operator=(const RulesValue&) = delete;

private:
    HKEY root_;
    const char* key_;
    const char* value_;
    bool made_ = false;
};

class ShapedTyping : public Recent {
protected:
    // Starts the program with "s1" activated and its sheet closed (ending
    // one this test started before), scans the barcodes into the receiver in
    // front and waits until `enters` Enter keys have reached it: each barcode
    // typed ends with the default Enter suffix.
    void ScanInto(KeyReceiver& receiver, const std::vector<std::string>& barcodes, size_t enters) {
        ASSERT_TRUE(receiver.Ready());
        if (app.Running()) {
            EXPECT_TRUE(testsupport::sim::NoBreaches());
            VaskApp::EndRunningInstances();
            Sim({"reset"});  // an ended program's open scanner is no breach of the next one
        }
        CloseSheet(StartActivated());
        ASSERT_TRUE(receiver.Focus());
        ASSERT_TRUE(testsupport::sim::Scan("s1", barcodes));
        const auto entersArrived = [&] {
            size_t count = 0;
            for (const KeyRecord& r : receiver.Records())
                if (r.message == KeyMessage::KeyDown && r.virtualKey == VK_RETURN) ++count;
            return count >= enters;
        };
        EXPECT_TRUE(WaitUntil(entersArrived, 20000)) << "fewer than " << enters << " Enter keys arrived";
    }

    // What arrives in a receiver when the barcodes are scanned under the
    // user's barcode rules `rules`, `enters` of them typed.
    std::wstring TypedUnder(const std::string& rules, const std::vector<std::string>& barcodes, size_t enters) {
        const RulesValue user(HKEY_CURRENT_USER, UserOptionsKey, {rules});
        KeyReceiver receiver;
        ScanInto(receiver, barcodes, enters);
        return receiver.Text();
    }
    std::wstring TypedUnder(const std::string& rules, const std::vector<std::string>& barcodes) {
        return TypedUnder(rules, barcodes, barcodes.size());
    }
};

}  // namespace apptest
