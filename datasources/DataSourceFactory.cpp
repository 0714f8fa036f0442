#include "datasources/DataSourceFactory.h"

#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauXmlDataTreeBuilder.h"
#include "datasources/IsybauXmlReader.h"

namespace kanvio {

TDataTreeBuilderRef TDataSourceFactory::CreateDatabaseSource(const std::string& databaseFileName) {
    return std::make_shared<TFirebirdDataTreeBuilder>(databaseFileName, dialogs_);
}

TDataTreeBuilderRef
TDataSourceFactory::CreateServerDatabaseSource(const std::string& address,
                                               const std::string& settingsFileName) {
    return TFirebirdDataTreeBuilder::OnServer(address, settingsFileName, dialogs_);
}

TDataTreeBuilderRef TDataSourceFactory::CreateIsybauSource(const std::string& reachFileName,
                                                           const std::string& connectionFileName) {
    return std::make_shared<TISYBAUDataTreeBuilder>(reachFileName, connectionFileName);
}

bool TDataSourceFactory::IsIsybauXml(const std::string& fileName) {
    return IsIsybauXmlFile(fileName);
}

std::string TDataSourceFactory::FindIsybauXml(const std::string& folder) {
    return FindIsybauXmlFile(folder, {});
}

TDataTreeBuilderRef TDataSourceFactory::CreateIsybauXmlSource(const std::string& fileName) {
    return std::make_shared<TIsybauXmlDataTreeBuilder>(fileName);
}

} // namespace kanvio
