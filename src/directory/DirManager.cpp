#include "directory/DirManager.h"

TCVDirManager::TCVDirManager(TCVBaseArchiver& Archiver) : FArchiver(Archiver) {}

TCVDirManager::~TCVDirManager() = default;
