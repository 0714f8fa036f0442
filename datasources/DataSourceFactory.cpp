#include "datasources/DataSourceFactory.h"

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/IsybauDataTreeBuilder.h"

namespace kanvio {

TDataTreeBuilderRef TDataSourceFactory::CreateDatabaseSource(const std::string& databaseFileName) {
    return std::make_shared<TFirebirdDataTreeBuilder>(databaseFileName, dialogs_);
}

TDataTreeBuilderRef TDataSourceFactory::CreateIsybauSource(const std::string& reachFileName,
                                                           const std::string& connectionFileName) {
    return std::make_shared<TISYBAUDataTreeBuilder>(reachFileName, connectionFileName);
}

} // namespace kanvio
