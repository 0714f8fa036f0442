#pragma once

// The data source of deliveries that carry an ISYBAU XML file.

#include "core/KanvioDataModel.h"

#include <string>

namespace kanvio {

class TIsybauXmlDataTreeBuilder final : public IDataTreeBuilder {
public:
    // fileName as found on disk; films without an absolute path are looked for beside it.
    explicit TIsybauXmlDataTreeBuilder(std::string fileName) : fileName_(std::move(fileName)) {}

    // Reads the whole file and appends what it holds; throws EInOutError when the file
    // cannot be read and EConvertError when it is no ISYBAU XML delivery.
    void BuildDataTree(TKanvioDataModel& model) override;

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// The ISYBAU XML file of the delivery in folder: projectName (relative to the folder, as
// [DATA] Projekt names it) when that is one, else the folder's only such file. Empty when
// there is none, or more than one and none named.
std::string FindIsybauXmlFile(const std::string& folder, const std::string& projectName);

} // namespace kanvio
