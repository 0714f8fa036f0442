#pragma once

#include "core/ContextInterfaces.h"

namespace kanvio {

class IUserDialogs;

// The data sources of the deliveries: the project database or the ISYBAU files.
class TDataSourceFactory final : public IDataSourceFactory {
public:
    TDataTreeBuilderRef CreateDatabaseSource(const std::string& databaseFileName) override;
    TDataTreeBuilderRef CreateIsybauSource(const std::string& reachFileName,
                                           const std::string& connectionFileName) override;
};

} // namespace kanvio
