#!/usr/bin/python3
"""Runs zpv-sign and checks its output with python3-oauthlib alone.

For each set of options: the printed signature must be the HMAC-SHA1 of the
printed base string, and the printed base string must be the one oauthlib
builds from the printed Authorization header, body and URL.
Usage: check_zpv_sign.py PATH-TO-zpv-sign
"""
import subprocess
import sys
from urllib.parse import parse_qsl

from oauthlib.oauth1.rfc5849 import signature as oauth
from oauthlib.oauth1.rfc5849 import utils

CONSUMER_SECRET = "Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T"
SAMPLE_TOKEN_SECRET = "SampleTokenSecretForTheZpvSignDemoOnly0000"
DEFAULT_STATUS = "Hello from the ZPV gallery! Ünïcödé & friends"

CASES = [
    # (options, token secret the signer used, status expected in the body)
    ([], SAMPLE_TOKEN_SECRET, DEFAULT_STATUS),
    (["--token-secret", "ts&%1", "--status", "a b+c=d/é😀"], "ts&%1", "a b+c=d/é😀"),
    (["--token", "", "--token-secret", "", "--url", "http://127.0.0.1:8080/1/statuses/update.xml",
      "--status", "no token"], "", "no token"),
]


def run(binary, options):
    out = subprocess.run([binary] + options, check=True, capture_output=True, text=True).stdout
    fields = {}
    for line in out.splitlines():
        label, _, value = line.partition(": ")
        fields[label] = value
    return fields


def check(binary, options, token_secret, status):
    printed = run(binary, options)
    method, url = printed["Request"].split(" ", 1)
    header = printed["Authorization"]
    body = printed["Body"]
    base = printed["Signature base string"]

    header_params = {k: utils.unescape(v) for k, v in utils.parse_authorization_header(header)}
    params = oauth.collect_parameters(body=body, headers={"Authorization": header})
    rebuilt = oauth.signature_base_string(
        method, oauth.base_string_uri(url), oauth.normalize_parameters(params))
    errors = []
    if rebuilt != base:
        errors.append("base string differs from oauthlib's:\n  %s\n  %s" % (base, rebuilt))
    expected = oauth.sign_hmac_sha1(base, CONSUMER_SECRET, token_secret)
    if header_params.get("oauth_signature") != expected:
        errors.append("signature %s, oauthlib %s" % (header_params.get("oauth_signature"), expected))
    if dict(parse_qsl(body, keep_blank_values=True)) != {"status": status}:
        errors.append("body %r does not carry the status %r" % (body, status))
    if ("oauth_token" in header_params) != ("--token" not in options):
        errors.append("oauth_token part wrong in %s" % header)
    return errors


def main():
    failed = 0
    for options, token_secret, status in CASES:
        errors = check(sys.argv[1], options, token_secret, status)
        print("%s %s" % ("FAIL" if errors else "PASS", " ".join(options) or "(defaults)"))
        for e in errors:
            print("  " + e)
        failed += bool(errors)
    print("%d passed, %d failed" % (len(CASES) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
