// Vertex records on disk and in package entries: the 76-byte tagFXVertex layout (nineteen
// little-endian 32-bit words: pos, normal, uv, color, normalSum, mark, srcIndex) converted field by
// field, and the size check every geometry loader makes before trusting a stored count.
#pragma once

#include <cstdio>

struct tagFXVertex;

enum { FX_VERTEX_RECORD_SIZE = 76 };
enum { kUnknownSourceLimit = 1 << 24 };

// Decodes one 76-byte record at b into v.
void fxGetVertex(const void* b, tagFXVertex* v);
// Encodes v as one 76-byte record at b.
void fxPutVertex(void* b, const tagFXVertex* v);

// n records from / to a file; false on a short read or write (the vertices read so far are kept).
bool fxFileReadVertices(FILE* f, tagFXVertex* v, int n);
bool fxFileWriteVertices(FILE* f, const tagFXVertex* v, int n);

// True when count items of itemSize bytes each can still follow in a source with `remaining`
// bytes left (count >= 0). remaining < 0 means "unknown": then at most kUnknownSourceLimit items.
bool fxCountFits(long count, long itemSize, long remaining);

class FXMesh;
// True when every corner index of m names one of its vertices.
bool fxMeshIndicesValid(const FXMesh* m);
