#include "CLogManager.h"

CLogManager::~CLogManager() = default;
