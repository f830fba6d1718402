#pragma once

class QTranslator;

// The program's one translator of its own texts: start-up loads the stored
// language into it and installs it; the preferences dialog loads another
// language into the same object and installs it again. Created on first use,
// owned by the application object. GUI thread only.
QTranslator* ProgramTranslator();
