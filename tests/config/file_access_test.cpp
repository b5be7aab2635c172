// The access list that GrantFileAccess hands to the system, built from lists
// in memory (Wine accepts the new list but keeps only the Unix mode bits, so
// the list itself is checked before it is written), and its failures.
#include <gtest/gtest.h>

#include <vector>

#include "config/FileAccess.h"
#include "tests/config/ConfigFixture.h"

using namespace configtest;

namespace {

constexpr DWORD Modify = 0x1301BF;

class Sid {
public:
    explicit Sid(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof bytes_;
        ok_ = ::CreateWellKnownSid(type, nullptr, bytes_, &size) != 0;
    }
    PSID get() { return bytes_; }
    bool ok() const { return ok_; }

private:
    BYTE bytes_[SECURITY_MAX_SID_SIZE];
    bool ok_;
};

struct Entry {
    BYTE type;
    BYTE flags;
    DWORD mask;
    PSID sid;
};

std::vector<BYTE> MakeList(const std::vector<Entry>& entries) {
    std::vector<BYTE> buffer(1024);
    ACL* acl = reinterpret_cast<ACL*>(buffer.data());
    EXPECT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION));
    for (const Entry& e : entries) {
        BOOL added = e.type == ACCESS_DENIED_ACE_TYPE ? ::AddAccessDeniedAceEx(acl, ACL_REVISION, e.flags, e.mask, e.sid)
                                                     : ::AddAccessAllowedAceEx(acl, ACL_REVISION, e.flags, e.mask, e.sid);
        EXPECT_TRUE(added);
    }
    return buffer;
}

// Every entry of a list as (type, flags, mask, SID).
std::vector<Entry> EntriesOf(ACL* acl) {
    ACL_SIZE_INFORMATION sizes{};
    EXPECT_TRUE(::GetAclInformation(acl, &sizes, sizeof sizes, AclSizeInformation));
    std::vector<Entry> entries;
    for (DWORD i = 0; i < sizes.AceCount; ++i) {
        void* raw = nullptr;
        EXPECT_TRUE(::GetAce(acl, i, &raw));
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);  // same layout for denied entries
        entries.push_back({ace->Header.AceType, ace->Header.AceFlags, ace->Mask, &ace->SidStart});
    }
    return entries;
}

class GrantedList : public ::testing::Test {
protected:
    Sid users{WinBuiltinUsersSid};
    Sid everyone{WinWorldSid};
    Sid system{WinLocalSystemSid};
    Sid admins{WinBuiltinAdministratorsSid};
};

}  // namespace

TEST_F(GrantedList, CopiesEachEntryWithItsOwnTypeThenAddsTheUsersEntry) {
    ASSERT_TRUE(users.ok() && everyone.ok() && system.ok() && admins.ok());
    std::vector<BYTE> current = MakeList({
        {ACCESS_DENIED_ACE_TYPE, 0, FILE_WRITE_DATA, everyone.get()},
        {ACCESS_ALLOWED_ACE_TYPE, INHERITED_ACE, FILE_ALL_ACCESS, system.get()},
        {ACCESS_ALLOWED_ACE_TYPE, INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE, GENERIC_ALL, admins.get()},
    });
    GrantedAcl granted = BuildGrantedAcl(reinterpret_cast<ACL*>(current.data()), users.get(), Modify);
    ASSERT_EQ(granted.error, 0u);
    ASSERT_FALSE(granted.unchanged);
    std::vector<Entry> entries = EntriesOf(granted.acl());
    ASSERT_EQ(entries.size(), 4u);

    EXPECT_EQ(entries[0].type, ACCESS_DENIED_ACE_TYPE);  // a deny entry stays a deny entry
    EXPECT_EQ(entries[0].flags, 0x03);
    EXPECT_EQ(entries[0].mask, DWORD(FILE_WRITE_DATA));
    EXPECT_TRUE(::EqualSid(entries[0].sid, everyone.get()));

    EXPECT_EQ(entries[1].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(entries[1].flags, 0x03);  // inherited becomes the file's own
    EXPECT_EQ(entries[1].mask, DWORD(FILE_ALL_ACCESS));
    EXPECT_TRUE(::EqualSid(entries[1].sid, system.get()));

    EXPECT_EQ(entries[2].flags, 0x03 | INHERIT_ONLY_ACE);  // still applies to nothing but children
    EXPECT_EQ(entries[2].mask, DWORD(GENERIC_ALL));
    EXPECT_TRUE(::EqualSid(entries[2].sid, admins.get()));

    EXPECT_EQ(entries[3].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(entries[3].flags, 0x03);
    EXPECT_EQ(entries[3].mask, Modify);
    EXPECT_TRUE(::EqualSid(entries[3].sid, users.get()));

    ACL_REVISION_INFORMATION revision{};
    ASSERT_TRUE(::GetAclInformation(granted.acl(), &revision, sizeof revision, AclRevisionInformation));
    EXPECT_EQ(revision.AclRevision, DWORD(ACL_REVISION));
}

TEST_F(GrantedList, AListThatAlreadyGrantsItStaysAsItIs) {
    std::vector<BYTE> current = MakeList({
        {ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, system.get()},
        {ACCESS_ALLOWED_ACE_TYPE, 0x03, Modify, users.get()},
    });
    GrantedAcl granted = BuildGrantedAcl(reinterpret_cast<ACL*>(current.data()), users.get(), Modify);
    EXPECT_EQ(granted.error, 0u);
    EXPECT_TRUE(granted.unchanged);

    // Each start builds on the list before: after one grant, the next adds nothing.
    std::vector<BYTE> fresh = MakeList({{ACCESS_ALLOWED_ACE_TYPE, 0, FILE_ALL_ACCESS, system.get()}});
    GrantedAcl first = BuildGrantedAcl(reinterpret_cast<ACL*>(fresh.data()), users.get(), Modify);
    ASSERT_FALSE(first.unchanged);
    EXPECT_TRUE(BuildGrantedAcl(first.acl(), users.get(), Modify).unchanged);
}

TEST_F(GrantedList, OtherEntriesForUsersDoNotCountAsEqual) {
    std::vector<BYTE> current = MakeList({
        {ACCESS_ALLOWED_ACE_TYPE, 0x03, FILE_GENERIC_READ, users.get()},  // another mask
        {ACCESS_ALLOWED_ACE_TYPE, 0, Modify, users.get()},                // other flags
        {ACCESS_DENIED_ACE_TYPE, 0x03, Modify, users.get()},              // a deny entry
        {ACCESS_ALLOWED_ACE_TYPE, 0x03, Modify, everyone.get()},          // another account
    });
    GrantedAcl granted = BuildGrantedAcl(reinterpret_cast<ACL*>(current.data()), users.get(), Modify);
    ASSERT_FALSE(granted.unchanged);
    std::vector<Entry> entries = EntriesOf(granted.acl());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2].type, ACCESS_DENIED_ACE_TYPE);
    EXPECT_EQ(entries[4].mask, Modify);
    EXPECT_TRUE(::EqualSid(entries[4].sid, users.get()));
}

TEST_F(GrantedList, EmptyAndMissingLists) {
    std::vector<BYTE> empty = MakeList({});
    GrantedAcl granted = BuildGrantedAcl(reinterpret_cast<ACL*>(empty.data()), users.get(), Modify);
    ASSERT_FALSE(granted.unchanged);
    ASSERT_EQ(EntriesOf(granted.acl()).size(), 1u);
    // No list at all grants everyone everything: adding an entry would take
    // that away from everybody else.
    EXPECT_TRUE(BuildGrantedAcl(nullptr, users.get(), Modify).unchanged);
}

class GrantFile : public ScratchFolder {};

TEST_F(GrantFile, RefusesEmptyArgumentsAndReportsLookupAndFileErrors) {
    WriteBytes("ConfigSettings.xml", "x");
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", "Users", 0), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", "", Modify), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GrantFileAccess("", "Users", Modify), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", "No Such Group Vask", Modify), DWORD(ERROR_NONE_MAPPED));
    EXPECT_EQ(GrantFileAccess("Missing.xml", "Users", Modify), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(GrantFile, TheSystemAcceptsTheNewListOfARealFile) {
    WriteBytes("ConfigSettings.xml", "content");
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", "Users", Modify), 0u);
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", "Users", Modify), 0u);
    // By the group's SID, whatever the group is called in this Windows' language.
    EXPECT_EQ(GrantFileAccess("ConfigSettings.xml", LocalUsersSid, Modify), 0u);
    EXPECT_EQ(ReadBytes("ConfigSettings.xml"), "content");
}
