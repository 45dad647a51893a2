"""Adds to the benchmark folder's Users.ini a guest account (empty password), so that every
request without a session signs in as guest, and a plain user "user"/"secret"; each sees three
vehicles."""
import hashlib
import os
import sys


def digest(login, password):
    inner = hashlib.md5(password.encode()).digest()
    inner = inner[:inner.find(b"\0")] if b"\0" in inner else inner
    return hashlib.md5(login.encode() + inner + login.encode()).hexdigest().upper()


folder = sys.argv[1]
path = os.path.join(folder, "Users.ini")
text = open(path).read().replace("UsersCount=1\nUser0=admin\n",
                                 "UsersCount=3\nUser0=admin\nUser1=guest\nUser2=user\n")
for login, password in (("guest", ""), ("user", "secret")):
    text += ("[%s]\nlogin=%s\npass=%s\nr=0\ndevcount=3\ndev0=100000\ndev1=100001\ndev2=100002\n"
             % (login, login, digest(login, password)))
open(path, "w").write(text)
