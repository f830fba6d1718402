#pragma once

// The update check's operations: holds the HTTP client and runs one whole
// check against the data object (configuration, callback, result record).
//
// Thread contract: CombineUpdateState blocks the calling thread for the
// whole transfer (up to 10 s to connect, 30 s in all) and calls the callback
// on it. Only one check may run at a time; only Net().Abort() may be called
// from another thread meanwhile.

#include "CRegNet.h"

class CRegData;

class CRegImpl
{
public:
    explicit CRegImpl(CRegData* data);

    // One check: configured? handle, URL, GET, answer, callback. Returns the
    // result code, which also stays in the data object's record. Not
    // configured (kUpdateNotConfigured) and no handle (kUpdateNoHandle)
    // return before anything is sent and without the callback.
    int CombineUpdateState();

    void SetProduct(const char* product);
    void SetVersion(const char* version);
    void SetLanguage(const char* language);
    void SetCallBack(void (*callback)(void*, int, int), void* user);

    CRegNet& Net() { return m_net; }
    CRegData* Data() const { return m_data; }

private:
    CRegNet m_net;
    CRegData* m_data;
};
