#pragma once

class QTranslator;

// The program's one translator of its own texts: start-up loads the stored
// language into it and installs it; the preferences dialog loads another
// language into a new translator and, when that worked, puts it in this one's
// place (deleting the old one). GUI thread only.
//
// Start-up hands its translator over with SetProgramTranslator; without one,
// ProgramTranslator() creates it on first use, owned by the application.
QTranslator* ProgramTranslator();
void SetProgramTranslator(QTranslator* translator);
