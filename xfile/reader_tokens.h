// reader_tokens.h -- token tests and token skips shared by the scene, mesh and material readers
#pragma once

#include <cstdint>
#include <cstring>

#include "xfile/tokenizer.h"

// The token is exactly this keyword (whole token, byte for byte).
inline bool VokTokenIs(const TVokToken& token, const char* word) {
    return std::strcmp(token.get(), word) == 0;
}

// The token is the empty string: end of input.
inline bool VokTokenAtEnd(const TVokToken& token) {
    return token[0] == '\0';
}

// First character an ASCII letter, a digit or "-": where the searches for a number
// (texture coordinates, material values) stop.
inline bool VokTokenMayHoldNumber(const TVokToken& token) {
    unsigned char c = static_cast<unsigned char>(token[0]);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Takes a token into `current`.
inline void VokTake(TVokTokenizer* tokenizer, TVokToken& current) {
    current = tokenizer->NextToken();
}

// Takes tokens until one is `word` (that token included) or the input ends.
inline void VokTakeUntil(TVokTokenizer* tokenizer, TVokToken& current, const char* word) {
    do {
        VokTake(tokenizer, current);
    } while (!VokTokenAtEnd(current) && !VokTokenIs(current, word));
}

// Like VokTakeUntil, but starting with the current token: takes nothing when the
// current token already is `word`.
inline void VokSkipFromCurrentUntil(TVokTokenizer* tokenizer, TVokToken& current, const char* word) {
    while (!VokTokenAtEnd(current) && !VokTokenIs(current, word)) {
        VokTake(tokenizer, current);
    }
}

// Takes a token, then keeps taking while the token cannot hold a number; the end of
// input ends the search (the empty token holds no number, so the value is repeated).
inline void VokTakeNumberToken(TVokTokenizer* tokenizer, TVokToken& current) {
    VokTake(tokenizer, current);
    while (!VokTokenAtEnd(current) && !VokTokenMayHoldNumber(current)) {
        VokTake(tokenizer, current);
    }
}

// A count from the file limited to what the rest of the input can hold: each item
// needs at least `tokensEach` more tokens, and every token is at least one byte. A
// negative count gives 0. For sound input the count is unchanged.
inline int32_t VokLimitCount(int32_t count, const TVokTokenizer* tokenizer, int32_t tokensEach) {
    if (count <= 0) {
        return 0;
    }
    int32_t most = tokenizer->Remaining() / tokensEach;
    return count < most ? count : most;
}
