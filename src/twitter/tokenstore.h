#ifndef TOKENSTORE_H
#define TOKENSTORE_H

class Signature;

// Where the access token of a signature lives between runs. The screen name
// and the user id stay in the settings store (group "Twitter/OAuth"); the
// token and its secret go to the desktop's keyring under the screen name, or,
// when no keyring answers, to the settings store beside them as before (its
// file readable by its owner only). The first fallback is logged once.
namespace TokenStore {

// Writes the four credential fields of signer. A token left in the settings
// file by an earlier version, or by a fallback, moves to the keyring; an
// empty token (a sign-out) also removes the one stored in the keyring.
void save(const Signature &signer);
// Reads the four fields into signer, empty when absent: a token in the
// settings file first, else the keyring's entry for the stored screen name.
void load(Signature &signer);

} // namespace TokenStore

#endif
