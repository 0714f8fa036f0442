#pragma once

#include "core/KanvioContext.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/video/VideoTestSupport.h"

#include <filesystem>
#include <memory>

namespace kanvio::test {

// Reach R1 (ID 7) has a.mpg from 00:00:00 to 00:00:40 and b.mpg from there to 00:01:20;
// R10 (ID 8) has a.mpg again from 00:02:00 to 00:02:30; connection C1 (ID 9) has none.
class InspectionReportTest : public ContextTest {
protected:
    void SetUp() override {
        auto r1 = MakeStructure('H', "R1",
                                {"00:00:00", "00:00:10", "00:00:55", "00:05:00", "later"}, "7");
        r1->Details[1].DefectClass = 3;
        r1->Details[2].DefectClass = 9;
        auto r10 = MakeStructure('H', "R10", {"00:02:07"}, "8");
        auto c1 = MakeStructure('A', "R10", {"00:03:00"}, "9");
        c1->ConnectionNumber = "C1";
        r1->city = "Bonn";
        r10->city = "Aachen";
        c1->city = "Bonn";
        sources.model.Reaches = {r1, r10};
        sources.model.Connections = {c1};
        std::filesystem::copy_file(ExactFilm("mpeg2-gop12.mpg"), projectFolder() / "a.mpg");
        std::filesystem::copy_file(ExactFilm("mpeg1.mpg"), projectFolder() / "b.mpg");
        WriteFile(env.programFolder() / "Kanvio.dat", "x");
        WriteSettings("[DATA]\nLinear=1.000000\n[FILME]\nCount=3\n"
                      "1=a.mpg;00:00:00;00:00:40;40;H;7\n"
                      "2=b.mpg;00:00:40;00:01:20;40;H;7\n"
                      "3=a.mpg;00:02:00;00:02:30;30;H;8\n"
                      "[common]\nLengthUnit=m\nLengthFormat=0.00\n");
        context = CreateContext(true);
    }
    const TReachData& Structure(size_t index) const {
        return index < 2 ? *context->Reaches[index] : *context->Connections[index - 2];
    }

    std::unique_ptr<TKanvioContext> context;
};

} // namespace kanvio::test
