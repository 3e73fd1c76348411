#!/usr/bin/python3
"""Reference OAuth 1.0a HMAC-SHA1 signer for the signing tests.

Reads a JSON list of requests on stdin, each
  {"method": M, "url": U, "params": [[name, value], ...],
   "consumer_secret": C, "token_secret": T, "body_params": [...]}
with the parameters decoded, and writes a JSON list of
  {"base": base string, "signature": Base64 signature, "body": form body}
in the same order. Only python3-oauthlib does the work, so the answers are
independent of the plug-in's signer.
"""
import json
import sys

from oauthlib.oauth1.rfc5849 import signature as oauth


def sign(request):
    params = [(name, value) for name, value in request["params"]]
    base = oauth.signature_base_string(
        request["method"],
        oauth.base_string_uri(request["url"]),
        oauth.normalize_parameters(params),
    )
    body = oauth.normalize_parameters(
        [(name, value) for name, value in request.get("body_params", [])]
    )
    return {
        "base": base,
        "body": body,
        "signature": oauth.sign_hmac_sha1(
            base, request["consumer_secret"], request["token_secret"]
        ),
    }


def main():
    json.dump([sign(r) for r in json.load(sys.stdin)], sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main()
