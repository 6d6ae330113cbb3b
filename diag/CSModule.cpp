#include "diag/CSModule.h"

#include "diag/AssertionHook.h"
#include "diag/TCSObjectManager.h"
#include "diag/TDezaZudi.h"

#include <memory>

namespace {

// Declared before the module object, so that they are destroyed after it.
std::unique_ptr<TCSObjectManager> g_objectManager;
std::unique_ptr<TDezaZudi> g_defaultClient;

// Starts the module when the program's static objects are built, before
// main(), and shuts it down after main() returns, so that the program and
// every test executable get the same start-up without calling anything.
// Nothing else refers to this file: diag/CMakeLists.txt makes the linker
// take it from the library all the same.
struct CSIntfModule
{
    CSIntfModule() { CSIntfStartUp(); }
    ~CSIntfModule() { CSIntfShutDown(); }
} g_module;

} // namespace

TDezaZudi *DefaultClient()
{
    return g_defaultClient.get();
}

void CSIntfStartUp()
{
    if (g_objectManager)
        return;
    g_objectManager = std::make_unique<TCSObjectManager>();
    // Published before the default client is made: a client registers with
    // the manager ObjectManager() gives.
    SetObjectManager(g_objectManager.get());
    g_defaultClient = std::make_unique<TDezaZudi>(nullptr);
    SetAssertErrorProc(&AssertionHook);
}

void CSIntfShutDown()
{
    if (!g_objectManager)
        return;
    if (AssertErrorProc() == &AssertionHook)
        SetAssertErrorProc(nullptr);
    g_defaultClient.reset();
    // Withdrawn first, so that nothing reaches the manager while it
    // destroys the clients left.
    SetObjectManager(nullptr);
    g_objectManager.reset();
}

void AssertionHook(const QByteArray &Message, const char *FileName, int LineNumber,
                   const void *ErrorAddr)
{
    const quint8 mode = ObjectManager() ? ObjectManager()->AssertMode() : 0;
    if ((mode == 1 || mode == 2) && DefaultClient()) {
        DefaultClient()->SendErrorFormatted("Assertion Failed: %s\rFile: %s\rLine: %d\rAddress: %p",
                                            {Message, FileName, LineNumber, ErrorAddr});
    }
    if (mode == 0 || mode == 2)
        RaiseAssertionFailed(Message, FileName, LineNumber, ErrorAddr);
}
