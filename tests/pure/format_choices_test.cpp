#include <gtest/gtest.h>

#include "pages/FormatChoices.h"

namespace {

const std::vector<std::string> kTokens = TokenItems();

}  // namespace

TEST(FormatPageLists, TokenBoxesListTheNamesInTableOrder) {
    EXPECT_EQ(kTokens, (std::vector<std::string>{"None", "<ENTER>", "<TAB>", "<SPACE>", "<LEFT>",
                                                 "<RIGHT>", "<UP>", "<DOWN>"}));
}

TEST(FormatPageLists, StripBoxListsZeroToFiveAndSelectsOnlyThose) {
    EXPECT_EQ(StripCountItems(), (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(StripItemIndex(0), 0);
    EXPECT_EQ(StripItemIndex(3), 3);
    EXPECT_EQ(StripItemIndex(5), 5);
    EXPECT_EQ(StripItemIndex(6), -1);   // stored value kept, nothing selected
    EXPECT_EQ(StripItemIndex(-1), -1);
}

TEST(StoredToken, ANameInTheListIsSelectedWithoutAnExtraItem) {
    EXPECT_EQ(ChooseStoredToken(kTokens, "None").append, false);
    EXPECT_EQ(ChooseStoredToken(kTokens, "None").select, 0);
    EXPECT_EQ(ChooseStoredToken(kTokens, "<ENTER>").select, 1);
    EXPECT_EQ(ChooseStoredToken(kTokens, "<DOWN>").select, 7);
    EXPECT_FALSE(ChooseStoredToken(kTokens, "<DOWN>").append);
}

TEST(StoredToken, ACharacterNotInTheListIsAppendedAndSelected) {
    StoredTokenChoice x = ChooseStoredToken(kTokens, "x");
    EXPECT_TRUE(x.append);
    EXPECT_EQ(x.select, 8);
    StoredTokenChoice bracket = ChooseStoredToken(kTokens, "<");  // begins every name but one
    EXPECT_TRUE(bracket.append);
    EXPECT_EQ(bracket.select, 8);
}

TEST(StoredToken, CaseIsIgnoredToFindButCountsToMatch) {
    // "n" finds "None" by its first letter, but is not "None": own item.
    EXPECT_EQ(FindItemStartingWith(kTokens, "n"), 0);
    StoredTokenChoice n = ChooseStoredToken(kTokens, "n");
    EXPECT_TRUE(n.append);
    EXPECT_EQ(n.select, 8);
    // A name in other case is a one-character token in the settings, so it
    // must keep its own spelling when shown.
    EXPECT_EQ(FindItemStartingWith(kTokens, "<tab>"), 2);
    EXPECT_TRUE(ChooseStoredToken(kTokens, "<tab>").append);
    EXPECT_TRUE(ChooseStoredToken(kTokens, "NONE").append);
}

TEST(StoredToken, OnlyTheFirstItemFoundIsComparedExactly) {
    // With "ab" before "a", the search stops at "ab", so "a" gets its own item
    // although an equal item exists further down.
    std::vector<std::string> items{"ab", "a"};
    StoredTokenChoice a = ChooseStoredToken(items, "a");
    EXPECT_TRUE(a.append);
    EXPECT_EQ(a.select, 2);
    EXPECT_EQ(ChooseStoredToken(items, "ab").select, 0);
}

TEST(StoredToken, EmptyAndLongTokensGetTheirOwnItem) {
    StoredTokenChoice empty = ChooseStoredToken(kTokens, "");
    EXPECT_TRUE(empty.append);
    EXPECT_EQ(empty.select, 8);
    StoredTokenChoice longer = ChooseStoredToken(kTokens, "<ENTER>x");
    EXPECT_TRUE(longer.append);
    EXPECT_EQ(longer.select, 8);
    EXPECT_EQ(ChooseStoredToken({}, "None").select, 0);
    EXPECT_TRUE(ChooseStoredToken({}, "None").append);
}
