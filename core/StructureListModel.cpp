#include "core/StructureListModel.h"

#include "core/KanvioContext.h"

namespace kanvio {

namespace {

TQelAttrib Column(const char* name, const std::string& caption, TQelAlignment alignment,
                  bool filterable) {
    return TQelAttrib{name, caption, true, alignment, filterable};
}

TAQelAttrib InspectionColumns(const TContextTexts& texts) {
    constexpr auto left = TQelAlignment::Left;
    return {
        // The two keys of a row, never shown.
        TQelAttrib{"TypeShort", "", false, left, false},
        TQelAttrib{"Nr", "", false, left, false},
        Column("Type", texts.Type, left, true),
        Column("Number", texts.Number, TQelAlignment::Right, false),
        Column("Stadt", texts.City, left, true),
        Column("Strasse", texts.Street, left, true),
        Column("Haltungsnr", texts.ReachNumber, left, false),
        Column("Anschlnr", texts.ConnectionNumber, left, false),
        Column("Untersuchl", texts.InspectionLength, left, false),
        Column("Fliessr", texts.FlowDirection, left, true),
        Column("VideoB", texts.Video, left, true),
        Column("Untersa", texts.InspectionType, left, true),
        Column("AnfSchacht", texts.StartManhole, left, false),
        Column("EndSchacht", texts.EndManhole, left, false),
        Column("PLZ", texts.ZIP, left, false),
        Column("Kennz", texts.CodeDigit, left, false),
    };
}

THashMapRef StructureRow(const TReachData& structure, size_t index, const char* typeShort,
                         const std::string& typeText) {
    auto row = std::make_shared<THashMap>();
    row->Reserve(16);
    row->PutInt64("Nr", int64_t(index));
    row->PutValue("TypeShort", typeShort);
    row->PutValue("Type", typeText);
    row->PutValue("Number", structure.ID);
    row->PutValue("Stadt", structure.city);
    row->PutValue("Strasse", structure.street);
    row->PutValue("Haltungsnr", structure.ReachNumber);
    row->PutValue("Anschlnr", structure.ConnectionNumber);
    row->PutValue("AnfSchacht", structure.StartManholeNumber);
    row->PutValue("EndSchacht", structure.EndManholeNumber);
    row->PutValue("VideoB", structure.video);
    row->PutValue("Fliessr", structure.DirectionTxt());
    row->PutValue("Untersuchl", structure.InspLength);
    row->PutValue("Untersa", structure.InspMode);
    row->PutValue("Kennz", structure.CodeDigit);
    row->PutValue("PLZ", structure.ZIP);
    return row;
}

} // namespace

std::unique_ptr<TQelListViewModel> BuildListModel(const TKanvioContext& context) {
    auto model = std::make_unique<TQelListViewModel>();
    const TContextTexts& texts = context.Texts();
    model->Attributes = InspectionColumns(texts);
    model->Rows.reserve(context.Reaches.size() + context.Connections.size());
    // A null entry cannot come from a data source; skipping it keeps every "Nr" pointing
    // at its own structure.
    for (size_t i = 0; i < context.Reaches.size(); ++i) {
        if (context.Reaches[i]) {
            model->Rows.push_back(StructureRow(*context.Reaches[i], i, "H", texts.Reach));
        }
    }
    for (size_t j = 0; j < context.Connections.size(); ++j) {
        if (context.Connections[j]) {
            model->Rows.push_back(StructureRow(*context.Connections[j], j, "A", texts.Connection));
        }
    }
    return model;
}

} // namespace kanvio
