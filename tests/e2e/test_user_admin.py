"""User administration requests against the running service: their replies, the exact bytes of
Users.ini after each change, and what the service then remembers (accounts, moderators' lists,
sessions)."""

import unittest

from kxtest import ServerTest, password_digest


def ini(*lines):
    return ("\r\n".join(lines) + "\r\n").encode("cp1251")


def main_section(*logins):
    return (["[main]", "UsersCount=%d" % len(logins)] +
            ["User%d=%s" % (i, login) for i, login in enumerate(logins)])


def section(login, password, rights, devices=(), managed=()):
    lines = ["[%s]" % login, "login=%s" % login, "pass=%s" % password_digest(login, password),
             "r=%d" % rights]
    if devices:
        lines += ["devcount=%d" % len(devices)]
        lines += ["dev%d=%d" % (j, d) for j, d in enumerate(devices)]
    if managed:
        lines += ["UsersCount=%d" % len(managed)]
        lines += ["User%d=%s" % (k, m) for k, m in enumerate(managed)]
    return lines


def new_section(login, password, rights, devices=()):
    """A section as AddUser writes it: vehicles after the rights, their count last."""
    lines = ["[%s]" % login, "login=%s" % login, "pass=%s" % password_digest(login, password),
             "r=%d" % rights]
    lines += ["dev%d=%d" % (j, d) for j, d in enumerate(devices)]
    return lines + (["devcount=%d" % len(devices)] if devices else [])


def device_list(*devices):
    lines = ["[main]", "devCount=%d" % len(devices)]
    for j, device in enumerate(devices):
        lines += ["[dev%d]" % j, "devnum=%d" % device, "carmodel=Car %d" % device,
                  "groupname=Fleet", "groupfile=fleet.grp"]
    return ini(*lines)


PASSWORDS = {"admin": "secret", "mod": "modpw", "ivan": "pw", "olga": "o"}
ADMIN = section("admin", "secret", 2)
MOD = section("mod", "modpw", 1, devices=(12, 40), managed=("ivan",))
IVAN = section("ivan", "pw", 0, devices=(12,))
OLGA = section("olga", "o", 0, devices=(40,))


class AdminTest(ServerTest):
    """admin (rights 2), mod (rights 1, vehicles 12 and 40, manages ivan), ivan (rights 0,
    vehicle 12), olga (rights 0, vehicle 40, managed by nobody); the registry has 12, 40, 77."""

    USERS_INI = main_section("admin", "mod", "ivan", "olga") + ADMIN + MOD + IVAN + OLGA
    DEVICES = (12, 40, 77)

    def prepare_folder(self):
        self.folder.write("Users.ini", ini(*self.USERS_INI))
        self.folder.write("DeviceList.ini", device_list(*self.DEVICES))

    def users_ini(self):
        return self.folder.read("Users.ini")

    def signed_in(self, login, password=None):
        client = self.client()
        client.sign_in(login, PASSWORDS[login] if password is None else password)
        self.assertIsNotNone(client.cookie, "%s could not sign in" % login)
        return client

    def ask(self, client, path, query):
        """A scripted request as the pages send it: POST, values in the address, empty body."""
        reply = client.post("/kxserver/%s?%s" % (path, query), "")
        self.assertEqual(reply.status, 200, reply.text)
        self.assertEqual(reply.header("Content-Type"), "text/plain")
        self.assertEqual(reply.header("Cache-control"), "no-cache")
        return reply.text

    def assert_unchanged(self, client, path, queries, answer):
        before = self.users_ini()
        for query in queries:
            self.assertEqual(self.ask(client, path, query), answer, query)
        self.assertEqual(self.users_ini(), before)


class AddUser(AdminTest):

    def test_adds_entry_section_and_vehicles_and_the_account_signs_in(self):
        admin = self.signed_in("admin")
        # "p%20w" is what a browser sends for "p w": it is digested as sent.
        self.assertEqual(self.ask(admin, "AddUser", "Login=petr&Pass=p%20w&r=0&CarList=77-12-"),
                         "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "petr"), *ADMIN, *MOD, *IVAN, *OLGA,
            *new_section("petr", "p%20w", 0, (77, 12))))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=petr"), "0-77-12-")
        self.signed_in("petr", "p%20w")

    def test_main_and_spellings_of_present_logins_are_taken(self):
        admin = self.signed_in("admin")
        self.assert_unchanged(admin, "AddUser", [
            "Login=main&Pass=x&r=2&CarList=", "Login=MAIN&Pass=x&r=0&CarList=12-",
            "Login=IVAN&Pass=x&r=0&CarList=12-", "Login=Admin&Pass=&r=2&CarList="], "2")

    def test_bad_parameters_and_rights_above_the_caller_change_nothing(self):
        admin = self.signed_in("admin")
        self.assert_unchanged(admin, "AddUser", [
            "Login=petr&Pass=x&r=0&CarList=",  # users and moderators need vehicles
            "Login=petr&Pass=x&r=1&CarList=",
            "Login=petr&Pass=x&r=3&CarList=12-",
            "Login=pe.tr&Pass=x&r=0&CarList=12-",
            "Login=petr&Pass=a&b&r=0&CarList=12-",
            "Login=petr&Pass=x&r=0&CarList=12-&more=1",
            "login=petr&Pass=x&r=0&CarList=12-"], "1")
        self.assert_unchanged(admin, "AddUser", [""], "0")
        moderator = self.signed_in("mod")
        self.assert_unchanged(moderator, "AddUser", ["Login=petr&Pass=x&r=2&CarList="], "1")

    def test_users_get_an_empty_reply(self):
        self.assert_unchanged(self.signed_in("ivan"), "AddUser",
                              ["Login=petr&Pass=x&r=0&CarList=12-", ""], "")

    def test_guest_is_a_plain_user_without_password_or_vehicles(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=guest&Pass=typed&r=2&CarList="), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "guest"), *ADMIN, *MOD, *IVAN, *OLGA,
            *new_section("guest", "", 0)))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=guest"), "0-")

    def test_demo_is_a_plain_user_with_its_fixed_password(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=demo&Pass=typed&r=1&CarList=12-"), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "demo"), *ADMIN, *MOD, *IVAN, *OLGA,
            *new_section("demo", "kavo", 0, (12,))))

    def test_other_spellings_of_guest_and_demo_are_ordinary_logins(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=Guest&Pass=g&r=2&CarList="), "0")
        self.assertEqual(self.ask(admin, "AddUser", "Login=DEMO&Pass=d&r=1&CarList=40-"), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "Guest", "DEMO"),
            *ADMIN, *MOD, *IVAN, *OLGA,
            *new_section("Guest", "g", 2), *new_section("DEMO", "d", 1, (40,))))

    def test_vehicle_list_walk_stops_at_a_piece_that_is_no_number(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=a1&Pass=&r=0&CarList=12-40"), "0")
        self.assertEqual(self.ask(admin, "AddUser", "Login=a2&Pass=&r=0&CarList=40--12-"), "0")
        self.assertEqual(self.ask(admin, "AddUser", "Login=a3&Pass=&r=1&CarList=77"), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "a1", "a2", "a3"),
            *ADMIN, *MOD, *IVAN, *OLGA,
            *new_section("a1", "", 0, (12,)), *new_section("a2", "", 0, (40,)),
            *new_section("a3", "", 1)))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=a3"), "1-")

    def test_a_moderator_hands_out_its_own_vehicles_and_its_list_grows(self):
        moderator = self.signed_in("mod")
        self.assertEqual(self.ask(moderator, "AddUser", "Login=petr&Pass=p&r=0&CarList=12-77-40-"),
                         "0")
        self.assertEqual(self.ask(moderator, "AddUser", "Login=vera&Pass=v&r=1&CarList=40-"), "0")
        mod = section("mod", "modpw", 1, devices=(12, 40), managed=("ivan", "petr", "vera"))
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "petr", "vera"),
            *ADMIN, *mod, *IVAN, *OLGA,
            *new_section("petr", "p", 0, (12, 40)), *new_section("vera", "v", 1, (40,))))
        # The new logins are within the moderator's reach at once.
        self.assertEqual(self.ask(moderator, "GetUserInfo", "Login=petr"), "0-12-40-")
        self.assertEqual(self.ask(moderator, "UserDel", "Login=vera"), "0")


class AddUserOverLeftovers(AdminTest):
    """A hand edit left a bare "[petr]" header in the middle of the file."""

    USERS_INI = (main_section("admin", "mod", "ivan", "olga") + ADMIN + MOD + ["[petr]"] + IVAN +
                 OLGA)

    def test_a_bare_header_does_not_take_the_login_and_receives_its_keys(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=petr&Pass=p&r=0&CarList=12-"), "0")
        petr = new_section("petr", "p", 0, (12,))
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "petr"), *ADMIN, *MOD, *petr, *IVAN,
            *OLGA))
        self.signed_in("petr", "p")
        # Now the section holds the user: the login is taken.
        self.assert_unchanged(admin, "AddUser", ["Login=PETR&Pass=x&r=2&CarList="], "2")


class AddUserToFullLists(AdminTest):
    """Users.ini is read for at most 100000 users per list: the moderator's list is at that limit,
    and a login appended to it would be lost at the next start."""

    USERS_INI = (main_section("admin", "mod", "ivan") + ADMIN +
                 section("mod", "modpw", 1, devices=(12,)) + ["UsersCount=100000", "User0=ivan"] +
                 IVAN)

    def test_a_full_list_declines_and_the_file_stays_as_it_was(self):
        self.assert_unchanged(self.signed_in("mod"), "AddUser",
                              ["Login=petr&Pass=p&r=0&CarList=12-"], "2")
        self.assertEqual(self.ask(self.signed_in("admin"), "AddUser",
                                  "Login=petr&Pass=p&r=0&CarList=12-"), "0")


class AddUserAfterACorruptCount(AdminTest):
    USERS_INI = ["[main]", "UsersCount=2147483647", "User0=admin"] + ADMIN

    def test_nothing_is_appended_past_the_read_limit(self):
        self.assert_unchanged(self.signed_in("admin"), "AddUser",
                              ["Login=petr&Pass=p&r=0&CarList=12-"], "2")


class GetUserInfo(AdminTest):

    def test_administrators_read_any_account(self):
        admin = self.signed_in("admin")
        for query, answer in [("Login=ivan", "0-12-"), ("Login=mod", "1-12-40-"),
                              ("Login=admin", "2-"), ("Login=IVAN", "0-12-"),
                              ("x=1&Login=ivan", "0-12-"), ("xLogin=ivan", "0-12-"),
                              ("Login=ivan&x=1", ""), ("Login=nobody", ""), ("Login=", ""),
                              ("login=ivan", ""), ("", "")]:
            self.assertEqual(self.ask(admin, "GetUserInfo", query), answer, query)

    def test_moderators_read_only_the_logins_they_manage(self):
        moderator = self.signed_in("mod")
        for query, answer in [("Login=ivan", "0-12-"), ("Login=olga", ""), ("Login=admin", ""),
                              ("Login=mod", ""), ("Login=IVAN", "")]:
            self.assertEqual(self.ask(moderator, "GetUserInfo", query), answer, query)

    def test_users_get_an_empty_reply(self):
        self.assertEqual(self.ask(self.signed_in("ivan"), "GetUserInfo", "Login=ivan"), "")


class SaveUser(AdminTest):

    def test_empty_password_changes_rights_and_vehicles_and_the_sessions_follow(self):
        ivan = self.signed_in("ivan")
        self.assertEqual(self.ask(ivan, "AddUser", "x"), "")  # a plain user so far
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "SaveUser", "Login=ivan&Pass=&r=1&CarList=40-77-"), "0")
        ivan_after = ["[ivan]", "login=ivan", "pass=%s" % password_digest("ivan", "pw"), "r=1",
                      "dev0=40", "dev1=77", "devcount=2"]
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga"), *ADMIN, *MOD, *ivan_after, *OLGA))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=ivan"), "1-40-77-")
        # The live session now has moderator rights, and the old password still signs in.
        self.assertEqual(self.ask(ivan, "AddUser", "x"), "1")
        self.signed_in("ivan", "pw")

    def test_a_new_password_is_digested_as_sent(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "SaveUser", "Login=ivan&Pass=n%21w&r=0&CarList=12-"), "0")
        self.assertIn(("pass=%s" % password_digest("ivan", "n%21w")).encode(), self.users_ini())
        self.signed_in("ivan", "n%21w")
        rejected = self.client()
        rejected.sign_in("ivan", "pw")
        self.assertIsNone(rejected.cookie)

    def test_demo_keeps_its_password(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=demo&Pass=&r=0&CarList=12-"), "0")
        self.assertEqual(self.ask(admin, "SaveUser", "Login=demo&Pass=other&r=1&CarList=40-"), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga", "demo"), *ADMIN, *MOD, *IVAN, *OLGA,
            "[demo]", "login=demo", "pass=%s" % password_digest("demo", "kavo"), "r=1",
            "dev0=40", "devcount=1"))
        self.signed_in("demo", "kavo")

    def test_rights_2_drop_the_vehicle_keys_and_leave_the_sessions(self):
        ivan = self.signed_in("ivan")
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "SaveUser", "Login=ivan&Pass=&r=2&CarList="), "0")
        ivan_after = ["[ivan]", "login=ivan", "pass=%s" % password_digest("ivan", "pw"), "r=2"]
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga"), *ADMIN, *MOD, *ivan_after, *OLGA))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=ivan"), "2-")
        self.assertEqual(self.ask(ivan, "AddUser", "x"), "")  # still a plain user's session

    def test_administrators_hand_out_the_vehicles_of_their_session(self):
        admin = self.signed_in("admin")  # its session lists the registry: 12, 40, 77
        self.folder.write("DeviceList.ini", device_list(12, 40, 77, 99))
        self.assertEqual(self.client().get("/kxserver/RefreshDevices").status, 200)
        self.assertEqual(self.ask(admin, "SaveUser", "Login=olga&Pass=&r=0&CarList=99-77-"), "0")
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=olga"), "0-77-")
        admin = self.signed_in("admin")  # a new session lists the reloaded registry
        self.assertEqual(self.ask(admin, "SaveUser", "Login=olga&Pass=&r=0&CarList=99-77-"), "0")
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=olga"), "0-99-77-")

    def test_a_moderator_changes_only_its_users_with_its_own_vehicles(self):
        moderator = self.signed_in("mod")
        self.assert_unchanged(moderator, "SaveUser", [
            "Login=olga&Pass=&r=0&CarList=12-", "Login=admin&Pass=&r=0&CarList=12-",
            "Login=IVAN&Pass=&r=0&CarList=12-", "Login=ivan&Pass=&r=2&CarList="], "1")
        self.assertEqual(self.ask(moderator, "SaveUser", "Login=ivan&Pass=&r=0&CarList=77-40-12-"),
                         "0")
        self.assertEqual(self.ask(moderator, "GetUserInfo", "Login=ivan"), "0-40-12-")

    def test_a_login_without_an_account_is_refused(self):
        admin = self.signed_in("admin")
        self.assert_unchanged(admin, "SaveUser", [
            "Login=nobody&Pass=x&r=0&CarList=12-", "Login=main&Pass=x&r=0&CarList=12-"], "1")

    def test_empty_and_malformed_queries(self):
        admin = self.signed_in("admin")
        self.assert_unchanged(admin, "SaveUser", [""], "0")
        self.assert_unchanged(admin, "SaveUser", [
            "Login=ivan&Pass=&r=0&CarList=", "Login=ivan&Pass=&r=0", "Login=ivan"], "1")
        self.assert_unchanged(self.signed_in("olga"), "SaveUser",
                              ["Login=olga&Pass=&r=0&CarList=40-"], "")


class UserDel(AdminTest):
    USERS_INI = (main_section("admin", "mod", "ivan", "olga", "petr") + ADMIN + MOD + IVAN + OLGA +
                 section("petr", "p", 0, devices=(77,)))

    def test_deleting_the_third_of_five_moves_the_last_two_down(self):
        ivan = self.signed_in("ivan")
        other_browser = self.signed_in("ivan")
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "UserDel", "Login=ivan"), "0")
        mod = section("mod", "modpw", 1, devices=(12, 40))  # its only managed login went
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "olga", "petr"), *ADMIN, *mod, *OLGA,
            *section("petr", "p", 0, devices=(77,))))
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=ivan"), "")
        # Every session of the deleted login has ended; without a guest account: 401.
        for client in (ivan, other_browser):
            self.assertEqual(client.get("/kxserver/settings").status, 401)

    def test_a_moderator_deletes_only_its_users_and_its_list_shrinks(self):
        moderator = self.signed_in("mod")
        self.assertEqual(self.ask(moderator, "AddUser", "Login=vera&Pass=v&r=0&CarList=12-"), "0")
        self.assert_unchanged(moderator, "UserDel",
                              ["Login=olga", "Login=admin", "Login=IVAN", "Login=mod"], "1")
        self.assertEqual(self.ask(moderator, "UserDel", "Login=ivan"), "0")
        mod = section("mod", "modpw", 1, devices=(12, 40), managed=("vera",))
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "olga", "petr", "vera"), *ADMIN, *mod, *OLGA,
            *section("petr", "p", 0, devices=(77,)), *new_section("vera", "v", 0, (12,))))

    def test_a_recreated_login_is_not_in_the_old_moderators_reach(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "UserDel", "Login=ivan"), "0")
        self.assertEqual(self.ask(admin, "AddUser", "Login=ivan&Pass=n&r=0&CarList=40-"), "0")
        moderator = self.signed_in("mod")
        self.assertEqual(self.ask(moderator, "GetUserInfo", "Login=ivan"), "")
        self.assert_unchanged(moderator, "SaveUser", ["Login=ivan&Pass=&r=0&CarList=12-"], "1")

    def test_the_caller_loses_the_login_even_when_its_list_in_the_file_differs(self):
        moderator = self.signed_in("mod")
        # A hand edit takes ivan off the moderator's list in the file; the service, not reloaded,
        # still has ivan in the moderator's list.
        self.folder.write("Users.ini", ini(
            *main_section("admin", "mod", "ivan", "olga", "petr"), *ADMIN,
            *section("mod", "modpw", 1, devices=(12, 40)), *IVAN, *OLGA,
            *section("petr", "p", 0, devices=(77,))))
        self.assertEqual(self.ask(moderator, "UserDel", "Login=ivan"), "0")
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "AddUser", "Login=ivan&Pass=n&r=0&CarList=40-"), "0")
        self.assertEqual(self.ask(moderator, "GetUserInfo", "Login=ivan"), "")
        self.assert_unchanged(moderator, "UserDel", ["Login=ivan"], "1")

    def test_a_spelling_of_the_login_deletes_the_account_everywhere(self):
        petr = self.signed_in("petr", "p")
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "UserDel", "Login=PETR"), "0")
        self.assertEqual(self.users_ini(), ini(
            *main_section("admin", "mod", "ivan", "olga"), *ADMIN, *MOD, *IVAN, *OLGA))
        self.assertEqual(petr.get("/kxserver/settings").status, 401)

    def test_main_can_never_be_deleted(self):
        self.assert_unchanged(self.signed_in("admin"), "UserDel", ["Login=main", "Login=Main"], "1")

    def test_an_administrator_may_delete_itself(self):
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "UserDel", "Login=admin"), "0")
        self.assertEqual(admin.get("/kxserver/settings").status, 401)
        self.assertNotIn(b"[admin]", self.users_ini())

    def test_empty_and_malformed_queries(self):
        admin = self.signed_in("admin")
        self.assert_unchanged(admin, "UserDel", [""], "0")
        self.assert_unchanged(admin, "UserDel",
                              ["Login=", "Login=ivan&x=1", "x=1&Login=ivan", "Login=iv%20an"], "1")
        self.assert_unchanged(self.signed_in("olga"), "UserDel", ["Login=ivan"], "")


class Reload(AdminTest):

    def test_refresh_users_without_a_session_reloads_the_accounts(self):
        self.folder.write("Users.ini", ini(*main_section("admin", "zoe"), *ADMIN,
                                           *section("zoe", "z", 0, devices=(40,))))
        reply = self.client().get("/kxserver/RefreshUsers")
        self.assertEqual((reply.status, reply.body), (200, b""))
        self.assertIsNone(reply.header("Set-Cookie"))
        self.signed_in("zoe", "z")
        rejected = self.client()
        rejected.sign_in("ivan", "pw")
        self.assertIsNone(rejected.cookie)

    def test_refresh_users_keeps_the_sessions(self):
        ivan = self.signed_in("ivan")
        self.folder.write("Users.ini", ini(*main_section("admin"), *ADMIN))
        self.assertEqual(self.client().get("/kxserver/RefreshUsers").status, 200)
        self.assertEqual(ivan.get("/kxserver/settings").status, 200)

    def test_refresh_devices_without_a_session(self):
        self.folder.write("DeviceList.ini", device_list(55))
        reply = self.client().post("/kxserver/RefreshDevices", "")
        self.assertEqual((reply.status, reply.body), (200, b""))
        admin = self.signed_in("admin")
        self.assertEqual(self.ask(admin, "SaveUser", "Login=ivan&Pass=&r=0&CarList=12-55-"), "0")
        self.assertEqual(self.ask(admin, "GetUserInfo", "Login=ivan"), "0-55-")


if __name__ == "__main__":
    unittest.main()
