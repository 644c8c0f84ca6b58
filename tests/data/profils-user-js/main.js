user_pref("browser.startup.page", 3); user_pref("b.c", true);
user_pref("browser.startup.homepage",
  "x"); // note
