#pragma once

#include "core/ContextInterfaces.h"

namespace kanvio {

class IUserDialogs;

// The data sources of the deliveries: the project database, the ISYBAU fixed-width files
// or an ISYBAU XML file.
class TDataSourceFactory final : public IDataSourceFactory {
public:
    // Messages of the sources go through dialogs (the program's message boxes, or the
    // console for command-line runs).
    explicit TDataSourceFactory(IUserDialogs& dialogs) : dialogs_(dialogs) {}

    TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) override;
    TDataTreeBuilderRef CreateServerDatabaseSource(const std::string& address,
                                                   const std::string& settingsFileName) override;
    TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                           const std::string& connectionFileName) override;
    bool IsIsybauXml(const std::string& fileName) override;
    std::string FindIsybauXml(const std::string& folder) override;
    TDataTreeBuilderRef CreateIsybauXmlSource(const std::string& fileName) override;

private:
    IUserDialogs& dialogs_;
};

} // namespace kanvio
