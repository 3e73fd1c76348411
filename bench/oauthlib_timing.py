#!/usr/bin/python3
"""Prints python3-oauthlib's time for signing the benchmark's status update, in µs."""
import sys
import timeit

from oauthlib.oauth1 import Client

status = sys.argv[1]
client = Client("Xq7LmN2pRt5VwY8zKc3Hd", client_secret="Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T",
                resource_owner_key="12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcde",
                resource_owner_secret="Sx4nd82KdlQ9zWmPqR7tYuI0oP1aSdFgHjKlZxCvBn")
body = {"status": status}
headers = {"Content-Type": "application/x-www-form-urlencoded"}


def sign():
    client.sign("http://api.twitter.com/1/statuses/update.xml", http_method="POST", body=body,
                headers=headers)


count = 2000
print("%.2f" % (min(timeit.repeat(sign, number=count, repeat=3)) / count * 1e6))
