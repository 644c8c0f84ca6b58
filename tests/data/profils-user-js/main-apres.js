user_pref("browser.startup.page", 3); user_pref("b.c", true);
user_pref("browser.startup.homepage",
  "x"); // note
// Signetor : page de démarrage (bloc réécrit par Signetor)
user_pref("browser.startup.homepage", "file:///srv/a%20b/p%22%C3%A9.html");
user_pref("browser.startup.page", 1);
// Signetor : fin du bloc
