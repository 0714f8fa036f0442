#pragma once

#include "core/ContextInterfaces.h"

namespace kanvio {

class IUserDialogs;

// The data sources of the deliveries: the project database or the ISYBAU files.
class TDataSourceFactory final : public IDataSourceFactory {
public:
    // Messages of the sources go through dialogs (the program's message boxes, or the
    // console for command-line runs).
    explicit TDataSourceFactory(IUserDialogs& dialogs) : dialogs_(dialogs) {}

    TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) override;
    TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                           const std::string& connectionFileName) override;

private:
    IUserDialogs& dialogs_;
};

} // namespace kanvio
