#!/usr/bin/python3
# Requests and what python3-oauthlib alone makes of them, for the signing tests.
#
# Writes edge cases and 300 seeded random requests with "signed" (the parameters signed),
# "base", "signature" (Base64), "body" and "header" (the values the Authorization header
# must carry) added. Values are decoded; "form" is live (the OAuth set plus params, also
# the body), basic (the older status form: no body) or raw (params alone are signed);
# "plain" says all names are ASCII letters, digits or "_".
# Before that, checks what the zpv-sign command (argv[1]) prints; exits non-zero if wrong.
# With --verify instead: checks the signatures of requests a test server received.
import json
import random
import string
import subprocess
import sys
from urllib.parse import parse_qsl

from oauthlib.oauth1.rfc5849 import signature as oauth
from oauthlib.oauth1.rfc5849 import utils

DEFAULT = dict(method="POST", url="http://api.twitter.com/1/statuses/update.xml",
               consumer_key="Xq7LmN2pRt5VwY8zKc3Hd", consumer_secret="Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T",
               token="", token_secret="", nonce="kYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cgAbc",
               timestamp="1318622958", params=[], form="live")
ACCESS = "https://api.twitter.com/oauth/access_token"
RESERVED = " !\"#$%&'()*+,/:;<=>?@[\\]^`{|}"
EDGE = [
    ("older status form", dict(token="12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcde", form="basic",
                               token_secret="Sx4nd82KdlQ9zWmPqR7tYuI0oP1aSdFgHjKlZxCvBn", params=[["status", "Test tweet 1"]])),
    ("RFC 5849 example", dict(method="GET", url="http://photos.example.net/photos", form="raw",
                              consumer_key="dpf43f3p2l4k3l03", consumer_secret="kd94hf93k423kf44",
                              token="nnch734d00sl2jdk", token_secret="pfkkdhi9sl3r4s00", nonce="chapoH",
                              timestamp="137131202",
                              params=[["oauth_consumer_key", "dpf43f3p2l4k3l03"], ["oauth_token", "nnch734d00sl2jdk"],
                                      ["oauth_signature_method", "HMAC-SHA1"], ["oauth_timestamp", "137131202"],
                                      ["oauth_nonce", "chapoH"], ["file", "vacation.jpg"], ["size", "original"]])),
    # The body keeps the value given first; a later signed-only value of that name is signed.
    ("signed value overrides the body's", dict(form="live", params=[["a", "x y"], ["status", "in the body"]],
                                              override=[["status", "signed & different"]])),
]


def random_request(rng, index):
    pools = [string.ascii_letters + string.digits, "-._~", RESERVED, "äöüßÉñçøåЖжΩ中文字€", "😀🎥🐦"]
    text = lambda most: "".join(rng.choice(rng.choice(pools)) for _ in range(rng.randint(0, most)))
    word = lambda n: "".join(rng.choice(pools[0]) for _ in range(n))
    r = dict(name="random %d" % index, method=rng.choice(["POST", "GET"]), consumer_key=word(rng.randint(10, 39)),
             url=rng.choice([DEFAULT["url"], ACCESS, "http://127.0.0.1:8080/1/users/show.xml",
                             "https://example.org/a/b~c/d.e-f_g"]),
             consumer_secret="c" + text(80), nonce=word(45), timestamp=str(rng.randint(10**9, 2 * 10**9 - 1)))
    if rng.randint(0, 1):
        r.update(token=word(8) + "-" + word(41), token_secret=text(60))
    names = {name for name in (text(12) for _ in range(rng.randint(0, 6))) if name and not name.startswith("oauth_")}
    r["params"] = [[name, text(140)] for name in sorted(names)]
    return r


def answer(request):
    r = dict(DEFAULT, **request)
    override = dict(r.get("override", []))
    signed = [[k, override.get(k, v)] for k, v in r["params"]]
    if r["form"] != "raw":
        signed = [["oauth_consumer_key", r["consumer_key"]], ["oauth_nonce", r["nonce"]],
                  ["oauth_signature_method", "HMAC-SHA1"], ["oauth_timestamp", r["timestamp"]],
                  ["oauth_version", "1.0"]] + ([["oauth_token", r["token"]]] if r["token"] else []) + signed
    base = oauth.signature_base_string(r["method"], oauth.base_string_uri(r["url"]),
                                       oauth.normalize_parameters([tuple(p) for p in signed]))
    signature = oauth.sign_hmac_sha1(base, r["consumer_secret"], r["token_secret"])
    header = {k: v for k, v in signed if k.startswith("oauth_")}
    header.update(oauth_version="1.0", oauth_signature=utils.escape(signature))
    body = r["params"] if r["form"] == "live" else []
    r.update(signed=signed, base=base, signature=signature, header=header,
             body=oauth.normalize_parameters([tuple(p) for p in body]),
             plain=all(k.isascii() and k.replace("_", "a").isalnum() for k, _ in r["params"]))
    return r


def check_zpv_sign(binary):
    # It prints what it signed: the base string must be oauthlib's for the printed request,
    # the signature the HMAC of it under the printed secrets, the body the status given.
    for options, secret, status in [([], "SampleTokenSecretForTheZpvSignDemoOnly0000",
                                      "Hello from the ZPV gallery! Ünïcödé & friends"),
                                     (["--token", "", "--token-secret", "", "--status", "a b+c=d/é😀"], "", "a b+c=d/é😀")]:
        run = subprocess.run([binary] + options, check=True, capture_output=True, text=True).stdout
        out = dict(line.partition(": ")[::2] for line in run.splitlines())
        method, url = out["Request"].split(" ", 1)
        params = oauth.collect_parameters(body=out["Body"], headers={"Authorization": out["Authorization"]})
        base = oauth.signature_base_string(method, oauth.base_string_uri(url), oauth.normalize_parameters(params))
        header = {k: utils.unescape(v) for k, v in utils.parse_authorization_header(out["Authorization"])}
        assert base == out["Signature base string"], run
        assert header["oauth_signature"] == oauth.sign_hmac_sha1(base, DEFAULT["consumer_secret"], secret), run
        assert dict(parse_qsl(out["Body"])) == {"status": status} and ("oauth_token" in header) == bool(secret), run


def verify(requests):
    # Requests as a server received them (method, url with query, authorization, content_type,
    # body) with the secrets to check them under: "ok", or the base string oauthlib signs.
    # A body is signed only when it is a form (RFC 5849 3.4.1.3.1).
    for r in requests:
        query = r["url"].partition("?")[2]
        form = r["content_type"].startswith("application/x-www-form-urlencoded")
        params = oauth.collect_parameters(uri_query=query, body=r["body"] if form else None,
                                          headers={"Authorization": r["authorization"]})
        base = oauth.signature_base_string(r["method"], oauth.base_string_uri(r["url"]),
                                           oauth.normalize_parameters(params))
        header = {k: utils.unescape(v) for k, v in utils.parse_authorization_header(r["authorization"])}
        good = header["oauth_signature"] == oauth.sign_hmac_sha1(base, r["consumer_secret"], r["token_secret"])
        print("ok" if good else base)


if sys.argv[1] == "--verify":
    verify(json.load(sys.stdin))
    sys.exit(0)
check_zpv_sign(sys.argv[1])
rng = random.Random(20261206)
json.dump([answer(dict(r, name=name)) for name, r in EDGE] + [answer(random_request(rng, i)) for i in range(300)],
          sys.stdout, ensure_ascii=True)
