#!/usr/bin/python3
"""Runs zpv-sign (path in argv[1]) and checks its output with python3-oauthlib alone: the
printed signature must be the HMAC-SHA1 of the printed base string, and that base string
the one oauthlib builds from the printed request, header and body."""
import subprocess
import sys
from urllib.parse import parse_qsl

from oauthlib.oauth1.rfc5849 import signature as oauth
from oauthlib.oauth1.rfc5849 import utils

CONSUMER_SECRET = "Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T"
CASES = [  # options, token secret the signer used, status expected in the body
    ([], "SampleTokenSecretForTheZpvSignDemoOnly0000", "Hello from the ZPV gallery! Ünïcödé & friends"),
    (["--token-secret", "ts&%1", "--status", "a b+c=d/é😀"], "ts&%1", "a b+c=d/é😀"),
    (["--token", "", "--token-secret", "", "--url", "http://127.0.0.1:8080/1/statuses/update.xml",
      "--status", "no token"], "", "no token"),
]

failures = []
for options, token_secret, status in CASES:
    out = subprocess.run([sys.argv[1]] + options, check=True, capture_output=True, text=True).stdout
    printed = dict(line.partition(": ")[::2] for line in out.splitlines())
    method, url = printed["Request"].split(" ", 1)
    header, body, base = printed["Authorization"], printed["Body"], printed["Signature base string"]
    signed = {k: utils.unescape(v) for k, v in utils.parse_authorization_header(header)}
    params = oauth.collect_parameters(body=body, headers={"Authorization": header})
    checks = {
        "base string": base == oauth.signature_base_string(
            method, oauth.base_string_uri(url), oauth.normalize_parameters(params)),
        "signature": signed.get("oauth_signature") == oauth.sign_hmac_sha1(base, CONSUMER_SECRET, token_secret),
        "body": dict(parse_qsl(body, keep_blank_values=True)) == {"status": status},
        "oauth_token": ("oauth_token" in signed) == ("--token" not in options),
    }
    failures += ["%s: %s wrong in\n%s" % (" ".join(options) or "(defaults)", name, out)
                 for name, ok in checks.items() if not ok]
print("\n".join(failures) or "%d runs checked" % len(CASES))
sys.exit(1 if failures else 0)
