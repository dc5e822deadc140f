// Turning manifest entries into package entries. A plain file is packed as it is (a picture typed
// by what its bytes are, so "leaf.jpeg" is still a JPEG picture). The engine's own files are
// compiled: what they name becomes entries of their own, numbered from the free numbers, and the
// record is packed naming them by entry number. A model (.xm) brings its material library and the
// library's pictures; an animation (.xa) its library and pictures, or, in the older layout, one
// model entry per frame; a movie (.xs) its colour and mask pictures.
//
// Free numbers start above every number the package and the manifest use, unless the manifest
// says where they start ("free N"); numbers already taken are skipped, so compiled content never
// takes a fixed entry's number. The name table (position + base = number) records what each free
// number holds; a skipped number is held by the name of the fixed entry that owns it.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "manifest.h"
#include "output.h"
#include "tool_env.h"

class FXMatlib;
class FXModel;
class FXPackage;
class QMPackScratch;

class QMPackBuilder {
public:
    QMPackBuilder(FXPackage* pkg, QMPackScratch* scratch, const QMPackManifest* manifest);

    // Sets the free numbering up: the package's stored entries and every number the manifest
    // gives are taken; free numbers start at the manifest's "free" line, or above all of them
    // (or at the base of a names file loaded before).
    bool Begin(bool namesLoaded);
    // Registers one manifest entry (packing or compiling it); reports and returns false when
    // it cannot.
    bool Add(const QMPackManifestEntry& e);
    // Reads a names file of an earlier build of this package, so that files registered again get
    // their old numbers and new ones continue after them. False (reported) when it does not
    // belong to the package.
    bool LoadNames(const std::string& path);
    // Writes the names file and the header file (either may be empty) to the temporary files of
    // the outputs. Names are written relative to the manifest's folder.
    bool WriteNames(QMPackOutput* names, QMPackOutput* header);

    long long Bytes() const { return bytes; }
    int Compiled() const { return compiled; }
    // Every file read so far, for the check that no output replaces one of them.
    const std::vector<QMPackInput>& Inputs() const { return inputs; }

private:
    FXPackage* pkg;
    QMPackScratch* scratch;
    const QMPackManifest* manifest;
    QMPackEnv env;
    std::set<int> taken;
    std::map<int, std::string> holderOf;       // taken number -> the name that holds it in the name table
    std::map<std::string, std::string> linkOf;  // source -> the path the engine reads it by
    std::map<std::string, std::string> shown;   // registered name -> the name written to names files
    std::set<const void*> heldLibs;            // libraries kept loaded for the whole build
    std::vector<QMPackInput> inputs;
    std::set<std::string> noted;  // the paths of inputs
    long long bytes = 0;
    int compiled = 0;

    bool AddPlain(const QMPackManifestEntry& e);
    bool CompileModel(const QMPackManifestEntry& e);
    bool CompileAnim(const QMPackManifestEntry& e);
    bool CompileMovie(const QMPackManifestEntry& e);
    // Checks the pictures of a library read from the .mtl file mtl and names them by absolute
    // path (once per library).
    bool PreparePictures(FXMatlib* lib, const std::string& mtl);
    // Registers a library's pictures and the library itself, and names the library by number.
    bool CompileLibrary(const std::string& where, FXModel* m);
    // Registers a compiled record (a file in the scratch folder) as entry number.
    bool AddCompiled(int number, const std::string& file);
    // The path the engine should read a source file by, so its type is right: the file itself, or
    // a link with the extension of the picture it holds. where names the file in messages; reports
    // a file that cannot be read or is not the picture its name says.
    bool Registerable(const std::string& where, const std::string& path, std::string* out);
    // Fills the name table with the holders of taken numbers until the next free number is free.
    void SkipTaken();
    // Registers a name for a free number; false (reported) when no number is left.
    bool RegisterFree(const std::string& where, const std::string& name, int* number);
    std::string Shown(const std::string& name) const;
    // True when a name of the table is already written as label.
    bool LabelUsed(const std::string& label) const;
    void NoteInput(const std::string& path, const std::string& role);
};
