// Why a load failed, as a value. Every err record (trace.h) is also an FXError: a code that says
// what kind of trouble it is, the function that reported it and the message, exactly as the
// trace log shows it. A caller that wants the reasons of a load (an authoring tool telling the
// author what is wrong with a file) opens an FXErrorCapture around it: while the capture lives,
// the errors and warnings of its thread are kept in it, whether or not the trace log is open.
// Captures nest: the innermost one of the thread keeps the errors, an outer one sees nothing of
// what an inner one caught. Without a capture nothing is kept and err costs what it always did.
#pragma once

#include <string>
#include <vector>

enum FXErrorCode {
    FX_ERR_OTHER = 1,  // a failure without a kind of its own (plain err records)
    FX_ERR_IO,         // a file cannot be opened, read, created or written
    FX_ERR_DAMAGED,    // a file or record that is damaged, cut short or not of its kind
    FX_ERR_REFUSED,    // a value the engine does not take (a size beyond its limits)
    FX_ERR_MEMORY,     // no memory for what a record asks
    FX_ERR_MISSING,    // something a record names is not there (a picture, a material, an entry)
    FX_ERR_LIBRARY,    // a material library cannot be loaded
    FX_ERR_PICTURE,    // a picture cannot be read or decoded
    // Warnings: the reader skips what it does not understand and the load goes on.
    FX_WARN_UNKNOWN_TOKEN = 100,  // a word a text format's reader does not know
};

struct FXError {
    FXErrorCode code = FX_ERR_OTHER;
    std::string origin;   // the function that reported it ("FXMatlib::LoadFromMtl"), or ""
    std::string what;     // the message, without the origin and the line end
    std::string subject;  // the file or entry it is about, when the reporter names one

    bool IsWarning() const { return code >= FX_WARN_UNKNOWN_TOKEN; }
    // The message as the trace log shows it: "origin -> what", or what alone.
    std::string Text() const { return origin.empty() ? what : origin + " -> " + what; }
};

// What an err record says about itself besides its message; a code alone converts to it.
struct FXErrorKind {
    FXErrorCode code;
    const char* origin;   // written before the message as "origin -> "; null for none
    const char* subject;  // null for none

    FXErrorKind(FXErrorCode c, const char* o = nullptr, const char* s = nullptr) : code(c), origin(o), subject(s) {}
};

class FXErrorCapture {
public:
    FXErrorCapture();   // becomes the innermost capture of this thread
    ~FXErrorCapture();  // hands the thread back to the capture it replaced
    FXErrorCapture(const FXErrorCapture&) = delete;
    FXErrorCapture& operator=(const FXErrorCapture&) = delete;

    const std::vector<FXError>& Errors() const { return errors; }
    // The errors kept so far; the capture goes on empty.
    std::vector<FXError> Take();
    // True when an error that is not a warning was kept.
    bool Failed() const;

private:
    friend void fxNoteError(const FXErrorKind& kind, const char* message);
    FXErrorCapture* outer;
    std::vector<FXError> errors;
};

// Keeps an error in this thread's innermost capture, if there is one. message is the text after
// the origin, as formatted for the trace log (its line end is dropped). Called by err.
void fxNoteError(const FXErrorKind& kind, const char* message);
