// How long the structure graphic takes for structures of many observations: the layout
// alone, the bitmap, and a whole drawing with its labels in the scroll box.

#include "ui/StructureGraphicLayout.h"
#include "ui/StructureGraphicRender.h"
#include "ui/StructureGraphicView.h"

#include <QApplication>
#include <QFontDatabase>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

using namespace kanvio;

TReachData MakeReach(int observations) {
    TReachData reach;
    reach.StartDist = 0;
    reach.EndDist = 120;
    reach.StartManholeNumber = "SCH 1001";
    reach.EndManholeNumber = "SCH 1002";
    for (int i = 0; i < observations; ++i) {
        TReachDetail detail;
        detail.Distance = 120.0 * i / observations;
        detail.Code = "BAB";
        detail.DefectClass = i % 6;
        detail.Text = "(BAB) Rissbildung, Laengsriss, Rissbreite 2 mm, ueber mehrere "
                      "Rohrumfangsteile, Beobachtung " +
                      std::to_string(i);
        detail.VideoTime = "00:12:34";
        reach.Details.push_back(detail);
    }
    return reach;
}

TGraphicStyle MakeStyle() {
    TGraphicStyle style;
    style.LabelFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    style.LabelFont.setPixelSize(13);
    style.BitmapFont = style.LabelFont;
    style.BitmapFont.setPixelSize(11);
    style.TitleFont = style.LabelFont;
    style.TitleFont.setBold(true);
    style.DistanceTitle = "Station";
    style.TitleHeight = 16;
    style.ClientWidth = 700;
    style.ClientHeight = 500;
    return style;
}

void BM_Layout(benchmark::State& state) {
    const TReachData reach = MakeReach(int(state.range(0)));
    const TGraphicStyle style = MakeStyle();
    for (auto _ : state) {
        benchmark::DoNotOptimize(LayoutStructureGraphic(reach, style, TGraphicOptions{}));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Layout)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_RenderBitmap(benchmark::State& state) {
    const TGraphicStyle style = MakeStyle();
    const TStructureGraphicLayout layout =
        LayoutStructureGraphic(MakeReach(int(state.range(0))), style, TGraphicOptions{});
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderStructureBitmap(layout, style.BitmapFont));
    }
    state.counters["bitmap_kB"] = double(layout.Width) * layout.Height * 4 / 1024;
}
BENCHMARK(BM_RenderBitmap)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// A whole drawing as a window makes it, labels created and the previous ones freed.
void BM_DrawInView(benchmark::State& state) {
    const TReachData reach = MakeReach(int(state.range(0)));
    TStructureGraphicView view;
    view.resize(700, 500);
    view.show();
    for (auto _ : state) {
        view.DrawStructureGraphic(&reach);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["labels"] = double(view.ObservationLabels().size());
}
BENCHMARK(BM_DrawInView)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
