#pragma once

class ILogWriter;

// What InitLogSystem hands out: access to the writer that entries go through.
class CLogManager {
public:
    virtual ~CLogManager();
    // Null when the output type writes nowhere.
    virtual ILogWriter* GetWriter() = 0;
};
