#pragma once
// Large, realistic stand-in servers for the benchmark and for tests: an
// auto-attendant tree of menus over many subscribers, built from a seed so that
// the same options always give the same server.
//
// What counts as an object: every call handler that is not a primary handler
// (the root, the operator, the goodbye handler and the menus), every subscriber
// (its primary call handler belongs to it), every interview handler and every
// name lookup handler. Rules, extensions and lookup rows do not count.
//
// ObjectIDs are readable: {NNNNNNNN-KKRR-4000-8000-0000SSSSSSSS} with NNNNNNNN
// the object's serial (its parent's for a rule), KK the kind (as in
// SampleIds::Kind), RR the rule's index (00 for an object) and SSSSSSSS the
// seed. The second group is never "0000", so they never meet the sample's IDs.

#include "embedded/sampleids.h"
#include "embedded/sampleserver.h"

#include <QString>
#include <optional>

namespace quillor::embedded {

struct GeneratedOptions {
    int objects = 1000;
    quint32 seed = 1;
    // 0: the routing tree is made of menus. Otherwise about half of what would
    // be menus becomes chains of this many call handlers, a deep shape: each
    // handler's key 1 leads to the next, key 0 back to the root, and keys 2 and
    // 3 sideways to the first two menus below the root, whose subtrees therefore
    // unfold again under every handler of every chain. Each chain hangs off a
    // menu outside those two subtrees. Servers too small to keep a few menus
    // beside one chain get none.
    int chainLength = 0;
};

// How a generated server is made up, known before it is built.
struct GeneratedShape {
    int objects = 0;           // the sum of the four counts below
    int callHandlers = 0;      // non-primary: root, operator, goodbye and the menus
    int menus = 0;             // the routing tree's menus, the root included
    int subscribers = 0;       // each with one primary call handler
    int interviewHandlers = 0; // the first is the undeletable creation template
    int nameLookupHandlers = 0; // the first row is the creation template
    int depth = 0;             // menu levels below the root
    int chains = 0;            // chains of call handlers (see GeneratedOptions::chainLength)
    int chainLength = 0;       // call handlers in each chain; they count among callHandlers, not menus
    int invalidHandlerLinks = 0;   // "PHGreeting" to call handlers that do not exist
    int invalidDirectoryLinks = 0; // "AD" to name lookup handlers that do not exist
};

// Fewer objects than this are raised to it: the root, operator, goodbye and one
// object of every other kind are always there.
constexpr int MinimumGeneratedObjects = 10;

GeneratedShape generatedShape(const GeneratedOptions &options);

// Builds a server of about `objects` objects in `folder` with the same file
// layout and registry export as createSampleServer (newest registry layout,
// every version gate open), so the program opens it exactly like the sample.
// Existing server files in `folder` are replaced. nullopt and `error` on failure.
std::optional<SampleServer> createGeneratedServer(const QString &folder, const GeneratedOptions &options = {},
                                                  QString *error = nullptr);

// The ObjectID of object `serial` (or of rule `index` below it) in a server
// generated with `seed`. Serials start at 1 per kind; call handlers 1, 2 and 3
// are the root, the operator and the goodbye handler, the menus follow, then
// the chains' handlers chain by chain, then the subscribers' primary handlers
// in subscriber order.
QString generatedObjectId(quint32 seed, SampleIds::Kind kind, qint64 serial, int index = 0);

// True for the IDs that generated servers link to on purpose although no such
// object exists (invalid links).
bool isGeneratedMissingId(const QString &id);

} // namespace quillor::embedded
