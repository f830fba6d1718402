#include "EngineFactory.h"

#include "Sonacap.h"

namespace {
class LibraryEngineFactory : public IEngineFactory {
public:
    void InitModule(const char* workDir, const char* logDir) override { InitSonacapModule(workDir, logDir); }
    CSonacapBase* CreateEngine() override { return CSonacapBase::GetInstance(); }
    void ReleaseEngine(CSonacapBase* engine) override { CSonacapBase::Release(engine); }
    ISonacapDriverSetup* CreateDriverSetup() override { return ISonacapDriverSetup::GetInstance(nullptr); }
    void ReleaseDriverSetup(ISonacapDriverSetup* setup) override { ISonacapDriverSetup::Release(setup); }
};

LibraryEngineFactory g_libraryFactory;
IEngineFactory* g_factory = &g_libraryFactory;
} // namespace

IEngineFactory* GetEngineFactory()
{
    return g_factory;
}

IEngineFactory* SetEngineFactory(IEngineFactory* factory)
{
    IEngineFactory* previous = g_factory;
    g_factory = factory ? factory : &g_libraryFactory;
    return previous == &g_libraryFactory ? nullptr : previous;
}
