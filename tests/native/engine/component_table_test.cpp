#include "setup/engine/component_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/engine/engine_state_file.h"
#include "setup/platform/error.h"

namespace zev {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int64_t kPredefinedSize = 297472;

// A table as a run starts it: the script's sizes, then the predefined component.
ComponentTable StartedTable(const Lines& extraSizes = {}) {
  Lines sizes = {std::string(kPredefinedComponent), std::to_string(kPredefinedSize)};
  sizes.insert(sizes.end(), extraSizes.begin(), extraSizes.end());
  ComponentTable table;
  table.Reset(sizes);
  table.Define(std::string(kPredefinedComponent), true, "");
  return table;
}

TEST(ComponentTable, DefiningAgainKeepsTheFirstSelectionAndRevives) {
  struct Case {
    bool firstSelected;
    bool secondSelected;
  };
  for (const Case& c : {Case{true, false}, Case{false, true}}) {
    SCOPED_TRACE(c.firstSelected);
    ComponentTable table = StartedTable();
    table.Define("Driver", c.firstSelected, "first");
    table.Delete("DRIVER");
    ASSERT_TRUE(table.IsDeleted("Driver"));

    table.Define("DRIVER", c.secondSelected, "second");

    EXPECT_EQ(table.Names(), (Lines{std::string(kPredefinedComponent), "Driver"}));
    EXPECT_FALSE(table.IsDeleted("Driver"));
    EXPECT_EQ(table.IsSelected("driver"), c.firstSelected);
    EXPECT_EQ(table.Description("Driver"), "second");
    EXPECT_EQ(table.Sizes().size(), 4u);
  }
}

TEST(ComponentTable, SizePairsAreFoundIgnoringCaseAtNamePositionsOnly) {
  // The script's pair in another letter case counts; a size text that looks like a name does not.
  ComponentTable table = StartedTable({"AUDIO DRIVERS", "4096", "Extras", "5"});
  table.Define("Audio Drivers", true, "");
  table.Define("5", true, "");

  EXPECT_EQ(table.Sizes(), (Lines{std::string(kPredefinedComponent), "297472", "AUDIO DRIVERS",
                                  "4096", "Extras", "5", "5", "0"}));
  EXPECT_EQ(table.SizeOf("audio drivers"), 4096);
  EXPECT_EQ(table.SizeOf("5"), 0);
  EXPECT_EQ(table.SizeOf("never defined"), 0);
}

TEST(ComponentTable, SetSizeReplacesTheEqualPairOrAppends) {
  ComponentTable table = StartedTable({"Driver", "10"});
  table.SetSize("DRIVER", 2048);
  table.SetSize("Samples", -3);
  EXPECT_EQ(table.Sizes(), (Lines{std::string(kPredefinedComponent), "297472", "Driver", "2048",
                                  "Samples", "-3"}));
}

TEST(ComponentTable, TotalSize) {
  struct Case {
    const char* name;
    std::function<void(ComponentTable&)> change;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"only the predefined component", [](ComponentTable&) {}, kPredefinedSize},
      {"selected component counts",
       [](ComponentTable& t) { t.Define("Driver", true, ""); }, kPredefinedSize + 1000},
      {"unselected component does not",
       [](ComponentTable& t) { t.Define("Driver", false, ""); }, kPredefinedSize},
      {"deleted component does not, even when selected",
       [](ComponentTable& t) {
         t.Define("Driver", true, "");
         t.Delete("Driver");
       },
       kPredefinedSize},
      {"hidden and locked components count",
       [](ComponentTable& t) {
         t.Define("Driver", true, "");
         t.SetVisible("Driver", false);
         t.SetChoiceAllowed("Driver", false);
       },
       kPredefinedSize + 1000},
      {"deselected predefined component",
       [](ComponentTable& t) { t.SetSelection(kPredefinedComponent, false); }, 0},
      {"installed size is subtracted and can go below zero",
       [](ComponentTable& t) {
         t.Define("Driver", true, "");
         t.RecordInstalledSize();
         t.SetSelection("Driver", false);
       },
       -1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComponentTable table = StartedTable({"Driver", "1000"});
    c.change(table);
    EXPECT_EQ(table.TotalSize(), c.expected);
  }
}

TEST(ComponentTable, RecordedInstalledSizeIsTheUnreducedTotal) {
  ComponentTable table = StartedTable({"Driver", "1000"});
  table.Define("Driver", true, "");
  table.RecordInstalledSize();
  table.RecordInstalledSize();  // recording again must not subtract the earlier record
  EXPECT_EQ(table.InstalledSize(), kPredefinedSize + 1000);
  EXPECT_EQ(table.TotalSize(), 0);
}

TEST(ComponentTable, SizeTexts) {
  struct Case {
    const char* text;
    std::int64_t expected;
    bool valid;
  };
  const Case cases[] = {
      {"+5", 5, true},
      {"-7", -7, true},
      {"9223372036854775807", INT64_MAX, true},
      {"-9223372036854775808", INT64_MIN, true},
      {"9223372036854775808", 0, false},
      {"12x", 0, false},
      {" 5", 0, false},
      {"", 0, false},
      {"-", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ComponentTable table = StartedTable({"Bad", c.text});
    table.Define("Bad", false, "");
    // Nothing looks at the size until it is asked for.
    EXPECT_EQ(table.TotalSize(), kPredefinedSize);
    if (c.valid) {
      EXPECT_EQ(table.SizeOf("Bad"), c.expected);
      continue;
    }
    try {
      table.SizeOf("bad");
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "'" + std::string(c.text) + "' is not a valid integer value");
    }
    table.SetSelection("Bad", true);
    EXPECT_THROW(table.TotalSize(), Error);
  }
}

TEST(ComponentTable, FlagsIncludeAncestors) {
  struct Case {
    const char* flagged;
    const char* asked;
    bool expected;
  };
  const Case cases[] = {
      {"Tools", "Tools\\Extras", true},
      {"tools", "TOOLS\\Extras\\Deep", true},
      {"Tools\\Extras", "Tools\\Extras\\Deep", true},
      {"Tools\\Extras", "Tools", false},
      {"Tools", "ToolsExtras", false},
      {"Tools", "Other\\Tools", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flagged) + " / " + c.asked);
    ComponentTable table = StartedTable();
    table.Define(c.flagged, true, "");
    table.SetVisible(c.flagged, false);
    table.SetChoiceAllowed(c.flagged, false);
    EXPECT_EQ(table.IsHiddenWithAncestors(c.asked), c.expected);
    EXPECT_EQ(table.IsChoiceLockedWithAncestors(c.asked), c.expected);
  }
}

TEST(ComponentTable, FlagListsChangeOnlyForDefinedNamesAndNeverTwice) {
  ComponentTable table = StartedTable();
  table.Define("Driver", true, "");
  table.Define("Samples", true, "");

  table.SetChoiceAllowed("Driver", true);  // not locked: nothing to remove
  table.SetChoiceAllowed("Driver", false);
  table.SetChoiceAllowed("DRIVER", false);
  table.SetChoiceAllowed("Samples", false);
  table.SetChoiceAllowed("Unknown", false);
  EXPECT_EQ(table.ChoiceLockedList(), (Lines{"Driver", "Samples"}));
  table.SetChoiceAllowed("driver", true);
  EXPECT_EQ(table.ChoiceLockedList(), (Lines{"Samples"}));

  table.SetVisible("Samples", false);
  table.SetVisible("samples", false);
  table.SetVisible("Unknown", false);
  EXPECT_EQ(table.HiddenList(), (Lines{"Samples"}));
  table.SetVisible("SAMPLES", true);
  EXPECT_TRUE(table.HiddenList().empty());

  table.Delete("Driver");
  table.Delete("driver");
  table.Delete("Unknown");
  EXPECT_EQ(table.DeletedList(), (Lines{"Driver"}));
}

TEST(ComponentTable, SelectionOfUnknownAndDeletedComponents) {
  ComponentTable table = StartedTable();
  table.SetSelection("Unknown", true);
  EXPECT_FALSE(table.IsSelected("Unknown"));
  EXPECT_EQ(table.Names().size(), 1u);
  EXPECT_EQ(table.Description("Unknown"), "");

  table.Define("Driver", false, "");
  table.Delete("Driver");
  table.SetSelection("Driver", true);  // a deleted component's state still changes
  EXPECT_FALSE(table.IsSelected("Driver"));
  EXPECT_EQ(table.States().back(), "TRUE");
  table.Define("Driver", false, "");
  EXPECT_TRUE(table.IsSelected("Driver"));
}

EngineState SavedState() {
  EngineState saved;
  saved.componentNames = {std::string(kPredefinedComponent), "DRIVER", "Samples", "Gone"};
  saved.componentStates = {"TRUE", "FALSE", "TRUE"};  // one short
  saved.deleted = {"Samples"};
  saved.hidden = {"Driver"};
  saved.choiceLocked = {"Samples"};
  saved.componentSizes = {std::string(kPredefinedComponent), "100", "Driver", "7"};
  return saved;
}

TEST(ComponentTable, ReplaceTakesTheSavedTable) {
  for (bool keepSizes : {false, true}) {
    SCOPED_TRACE(keepSizes);
    ComponentTable table = StartedTable({"Driver", "1000"});
    table.Define("Driver", true, "the driver");

    table.Replace(ParseEngineState(FormatEngineState(SavedState())), keepSizes);

    EXPECT_EQ(table.Names(), SavedState().componentNames);
    EXPECT_EQ(table.States(), (Lines{"TRUE", "FALSE", "TRUE", "FALSE"}));
    EXPECT_FALSE(table.IsSelected("Gone"));
    EXPECT_EQ(table.Description("Driver"), "");
    EXPECT_EQ(table.DeletedList(), SavedState().deleted);
    EXPECT_EQ(table.HiddenList(), SavedState().hidden);
    EXPECT_EQ(table.ChoiceLockedList(), SavedState().choiceLocked);
    EXPECT_EQ(table.SizeOf("driver"), keepSizes ? 1000 : 7);

    // The script defines its components again after loading: states stay, texts come back.
    table.Define("Samples", false, "samples");
    table.Define("New", true, "new");
    EXPECT_EQ(table.Description("Samples"), "samples");
    EXPECT_EQ(table.Description("Gone"), "");
    EXPECT_EQ(table.States(), (Lines{"TRUE", "FALSE", "TRUE", "FALSE", "TRUE"}));
    EXPECT_TRUE(table.IsSelected("Samples"));
  }
}

TEST(ComponentTable, MergeTakesStatesOfComponentsDefinedNow) {
  ComponentTable table = StartedTable({"Driver", "1000"});
  table.Define("Driver", true, "");
  table.Define("Samples", false, "");
  table.Define("Local", true, "");
  table.Delete("Local");

  table.Merge(ParseEngineState(FormatEngineState(SavedState())));

  EXPECT_EQ(table.Names(),
            (Lines{std::string(kPredefinedComponent), "Driver", "Samples", "Local"}));
  // Driver and Samples by name in any case; Gone is unknown here and Local is absent there.
  EXPECT_EQ(table.States(), (Lines{"TRUE", "FALSE", "TRUE", "TRUE"}));
  EXPECT_EQ(table.DeletedList(), SavedState().deleted);
  EXPECT_EQ(table.HiddenList(), SavedState().hidden);
  EXPECT_EQ(table.ChoiceLockedList(), SavedState().choiceLocked);
  EXPECT_EQ(table.SizeOf("Driver"), 1000);
  EXPECT_EQ(table.Description("Samples"), "");
}

TEST(ComponentTable, MergeGivesEveryEqualNameTheSavedState) {
  // A table loaded from a file may hold a name twice; both entries follow the saved state.
  EngineState twice;
  twice.componentNames = {"Driver", "driver"};
  twice.componentStates = {"TRUE", "TRUE"};
  ComponentTable table;
  table.Reset({});
  table.Replace(twice, false);

  EngineState saved;
  saved.componentNames = {"DRIVER"};
  saved.componentStates = {"FALSE"};
  table.Merge(saved);
  EXPECT_EQ(table.States(), (Lines{"FALSE", "FALSE"}));
}

TEST(ComponentTable, StoredStateLoadsBackUnchanged) {
  ComponentTable table = StartedTable({"Driver", "1000"});
  table.Define("Driver", true, "");
  table.Define("Tools\\Extras", false, "");
  table.SetVisible("Tools\\Extras", false);
  table.SetChoiceAllowed("Driver", false);
  table.Define("Old", true, "");
  table.Delete("Old");
  table.SetSize("Driver", 1234);

  EngineState state;
  state.targetDir = "C:\\TX880\\";
  table.Store(state);
  EXPECT_EQ(state.targetDir, "C:\\TX880\\");

  ComponentTable loaded;
  loaded.Reset({});
  loaded.Replace(ParseEngineState(FormatEngineState(state)), false);
  EXPECT_EQ(loaded.Names(), table.Names());
  EXPECT_EQ(loaded.States(), table.States());
  EXPECT_EQ(loaded.DeletedList(), table.DeletedList());
  EXPECT_EQ(loaded.HiddenList(), table.HiddenList());
  EXPECT_EQ(loaded.ChoiceLockedList(), table.ChoiceLockedList());
  EXPECT_EQ(loaded.Sizes(), table.Sizes());
  EXPECT_EQ(loaded.TotalSize(), table.TotalSize());
}

TEST(ComponentTable, ResetPutsBackTheScriptSizes) {
  const Lines script = {std::string(kPredefinedComponent), "297472", "Driver", "1000"};
  ComponentTable table;
  table.Reset(script);
  table.Define("Driver", true, "text");
  table.Define("Samples", true, "");
  table.SetSize("Driver", 5);
  table.SetVisible("Driver", false);
  table.SetChoiceAllowed("Driver", false);
  table.Delete("Samples");
  table.RecordInstalledSize();

  table.Reset(script);

  EXPECT_EQ(table.Sizes(), script);
  EXPECT_TRUE(table.Names().empty());
  EXPECT_TRUE(table.States().empty());
  EXPECT_TRUE(table.DeletedList().empty());
  EXPECT_TRUE(table.HiddenList().empty());
  EXPECT_TRUE(table.ChoiceLockedList().empty());
  EXPECT_EQ(table.InstalledSize(), 0);
  EXPECT_EQ(table.Description("Driver"), "");
  table.Define("Driver", true, "");
  EXPECT_EQ(table.TotalSize(), 1000);
}

}  // namespace
}  // namespace zev
