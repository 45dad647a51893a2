"""Adds a guest account (empty password, three vehicles) to the benchmark folder's Users.ini, so
that every request without a session signs in as guest."""
import hashlib
import os
import sys

folder = sys.argv[1]
inner = hashlib.md5(b"").digest()
inner = inner[:inner.find(b"\0")] if b"\0" in inner else inner
digest = hashlib.md5(b"guest" + inner + b"guest").hexdigest().upper()
path = os.path.join(folder, "Users.ini")
text = open(path).read().replace("UsersCount=1\nUser0=admin\n", "UsersCount=2\nUser0=admin\nUser1=guest\n")
text += "[guest]\nlogin=guest\npass=%s\nr=0\ndevcount=3\ndev0=100000\ndev1=100001\ndev2=100002\n" % digest
open(path, "w").write(text)
