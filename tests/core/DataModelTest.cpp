#include "core/KanvioDataModel.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

TEST(DataModelTest, DirectionTextFollowsTheFlag) {
    SetDirectionTexts("against", "with");
    TReachData reach;
    reach.direction = false;
    EXPECT_EQ(reach.DirectionTxt(), "against");
    reach.direction = true;
    EXPECT_EQ(reach.DirectionTxt(), "with");
    SetDirectionTexts("", "");
}

TEST(DataModelTest, FieldTextByPropertyName) {
    TReachData reach;
    reach.city = "K\xF6ln";
    reach.ReachNumber = "H-0815";
    reach.StartDist = 1.5;
    reach.direction = true;
    SetDirectionTexts("up", "down");
    EXPECT_EQ(GetFieldText(reach, "city"), "K\xF6ln");
    EXPECT_EQ(GetFieldText(reach, "CITY"), "K\xF6ln");
    EXPECT_EQ(GetFieldText(reach, "ReachNumber"), "H-0815");
    EXPECT_EQ(GetFieldText(reach, "DirectionTxt"), "down");
    EXPECT_EQ(GetFieldText(reach, "StartDist"), "1.5");
    // The pseudo property of the label table and unknown names are no fields.
    EXPECT_EQ(GetFieldText(reach, "ConnectionInfo"), "<none>");
    EXPECT_EQ(GetFieldText(reach, ""), "<none>");
    SetDirectionTexts("", "");
}

} // namespace
} // namespace kanvio
