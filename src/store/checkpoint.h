#pragma once
// Checkpoints of the plant store's audit chain: the chain's head (how many
// audit rows, the newest one's number and chain hash, and when) signed with
// an Ed25519 key that the auditor keeps outside the database. A store whose
// chain no longer extends a checkpoint was cut short or rewritten, even by
// someone who could rewrite every hash in it.
#include <cstdint>
#include <string>
#include <vector>

namespace trevolo {

// The newest row of the audit chain: its number and its chain hash.
struct ChainHead {
    std::int64_t auditSeq = 0;
    std::string chainHash;
    bool operator==(const ChainHead&) const = default;
};

struct Checkpoint {
    std::int64_t auditRows = 0;  // audit rows up to and including the head
    ChainHead head;
    std::int64_t madeAt = 0;  // server clock, milliseconds since 1970 (UTC)
    std::string publicKey;    // the signer's Ed25519 public key, hex
    std::string signature;    // Ed25519 signature of CheckpointMessage, hex
    std::string madeBy;       // the database role that stored it (filled on read)
};

// The bytes a checkpoint's signature covers.
std::string CheckpointMessage(const Checkpoint& c);
// One line that tells a checkpoint whole, to print and keep elsewhere:
//   trevolo-checkpoint 1 rows=N seq=S head=HEX at=MS key=HEX sig=HEX
std::string CheckpointText(const Checkpoint& c);
// The checkpoints of a text: every line that starts "trevolo-checkpoint"
// (other lines, such as the command's own report, are skipped). False with
// a Japanese reason when such a line is malformed.
bool ParseCheckpoints(const std::string& text, std::vector<Checkpoint>& out, std::string& error);

// Signs c (its rows, head and time set) with the private key of a PEM file
// and fills publicKey and signature. False with a Japanese reason when the
// file cannot be read or holds no Ed25519 private key.
bool SignCheckpoint(Checkpoint& c, const std::string& keyFile, std::string& error);
// True when c's signature is valid under publicKey (hex).
bool CheckpointSignedBy(const Checkpoint& c, const std::string& publicKey);
// The Ed25519 public key (hex) of a PEM file holding a public or a private
// key, or of a file holding the key in hex as a checkpoint line shows it.
bool ReadPublicKey(const std::string& file, std::string& publicKey, std::string& error);

}  // namespace trevolo
