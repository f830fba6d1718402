#pragma once

// How the main window gets its recording engine. The program uses the engine
// library's exports; tests install a factory of their own that hands out a
// fake engine (one that sends notifications from a thread of its own) so the
// window can be driven without a sound server.
//
// Thread contract: installed and used on the GUI thread only, before and
// between main windows.

class CSonacapBase;
class ISonacapDriverSetup;

class IEngineFactory {
public:
    virtual ~IEngineFactory() = default;
    virtual void InitModule(const char* workDir, const char* logDir) = 0;
    virtual CSonacapBase* CreateEngine() = 0;
    virtual void ReleaseEngine(CSonacapBase* engine) = 0;
    virtual ISonacapDriverSetup* CreateDriverSetup() = 0;
    virtual void ReleaseDriverSetup(ISonacapDriverSetup* setup) = 0;
};

// The installed factory (the engine library's by default).
IEngineFactory* GetEngineFactory();
// Installs `factory` (not owned); null restores the default. Returns the
// previous one.
IEngineFactory* SetEngineFactory(IEngineFactory* factory);
