#ifndef SELFTESTVECTORS_H
#define SELFTESTVECTORS_H

// Known answers for the client's signing self-tests. The expected texts were
// computed with an independent OAuth implementation, never with our signer;
// the unit tests recompute them the same way so a mistyped constant shows.
namespace SelfTestVectors {

// xAuth sign-in at the access-token URL, no access token yet.
struct LoginVector
{
    const char *consumerKey;
    const char *consumerSecret;
    const char *method;
    const char *url;
    const char *userName;
    const char *password;
    const char *nonce;
    const char *timestamp;
    const char *xAuthMode;
    const char *baseString; // expected
    const char *signature; // expected, percent-encoded Base64
};

// Status update signed with an access token.
struct TweetVector
{
    const char *consumerKey;
    const char *consumerSecret;
    const char *method;
    const char *url;
    const char *token;
    const char *tokenSecret;
    const char *nonce;
    const char *timestamp;
    const char *status;
    const char *baseString; // expected
    const char *signature; // expected, percent-encoded Base64
    const char *authorizationHeader; // expected
    const char *postBody; // expected
};

// The password's punctuation, "%" among it, must be escaped and then
// escaped again inside the base string.
inline constexpr LoginVector signatureTest1 = {
    "N724AIdtygG2ytAemrxIP", // consumerKey
    "i0sp893tmMkhDePSNdyH1Ulp6f3jlhRr9iNhks5Ktc", // consumerSecret
    "POST", // method
    "https://api.twitter.com/oauth/access_token", // url
    "gallery_tester", // userName
    "Zq%7 w&r=+d!9/K:x?Lm", // password
    "BlmwgIcWUsyrwIkBNSL9Sx5Wvp9gmfswWgooMcLObjD", // nonce
    "1395915373", // timestamp
    "client_auth", // xAuthMode
    "POST&https%3A%2F%2Fapi.twitter.com%2Foauth%2Faccess_token&oauth_consumer_key%"
    "3DN724AIdtygG2ytAemrxIP%26oauth_nonce%3DBlmwgIcWUsyrwIkBNSL9Sx5Wvp9gmfswWgooMcLObjD%26oauth_"
    "signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1395915373%26oauth_version%3D1.0%26x_auth_"
    "mode%3Dclient_auth%26x_auth_password%3DZq%25257%2520w%2526r%253D%252Bd%25219%252FK%253Ax%"
    "253FLm%26x_auth_username%3Dgallery_tester", // baseString
    "Dx5xLBmn3Y%2FBB8DldCcYQ5CjJR0%3D", // signature
};

// Plain password: letters and a hyphen.
inline constexpr LoginVector signatureTest2
    = {
          "Z5txaLyqZRpTdQ4TINgHFs", // consumerKey
          "GH8fffyVQ5PVoLvGxkKDXdE43FE2MDgYj89YCseQ", // consumerSecret
          "POST", // method
          "https://api.twitter.com/oauth/access_token", // url
          "zpv-demo-user", // userName
          "Snow-Capybara", // password
          "0UVyCTFE49DC7NtvjyYwHTL2K2SNJ5KyrZN6lgao3l", // nonce
          "1375611412", // timestamp
          "client_auth", // xAuthMode
          "POST&https%3A%2F%2Fapi.twitter.com%2Foauth%2Faccess_token&oauth_consumer_key%"
          "3DZ5txaLyqZRpTdQ4TINgHFs%26oauth_nonce%3D0UVyCTFE49DC7NtvjyYwHTL2K2SNJ5KyrZN6lgao3l%"
          "26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1375611412%26oauth_version%3D1."
          "0%26x_auth_mode%3Dclient_auth%26x_auth_password%3DSnow-Capybara%26x_auth_username%3Dzpv-"
          "demo-user", // baseString
          "Xql6omIFCtRsDnc6gLSNktNBAx8%3D", // signature
      };

// The plug-in's own consumer registration with a sample access token.
inline constexpr TweetVector signatureTweetTest = {
    "Xq7LmN2pRt5VwY8zKc3Hd", // consumerKey
    "Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T", // consumerSecret
    "POST", // method
    "http://api.twitter.com/1/statuses/update.xml", // url
    "34279133-AcaTs7PUEKQeCS83MBQEcJKYA4ZNAAqBCwcBvHD9M", // token
    "fC7212cPVKwMSuqvgxCxZQcttjcp3aL2uPkwHlz3cz", // tokenSecret
    "YkKIdyAUoMubCguSAsc3ifDjnSgQouOUdVsfE5Yctxe6B", // nonce
    "1342079194", // timestamp
    "Test tweet 1", // status
    "POST&http%3A%2F%2Fapi.twitter.com%2F1%2Fstatuses%2Fupdate.xml&oauth_consumer_key%"
    "3DXq7LmN2pRt5VwY8zKc3Hd%26oauth_nonce%3DYkKIdyAUoMubCguSAsc3ifDjnSgQouOUdVsfE5Yctxe6B%26oauth_"
    "signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1342079194%26oauth_token%3D34279133-"
    "AcaTs7PUEKQeCS83MBQEcJKYA4ZNAAqBCwcBvHD9M%26oauth_version%3D1.0%26status%3DTest%2520tweet%"
    "25201", // baseString
    "DH1cpPs8EsvG1VVfLrWEywKc9HA%3D", // signature
    "OAuth oauth_nonce=\"YkKIdyAUoMubCguSAsc3ifDjnSgQouOUdVsfE5Yctxe6B\", "
    "oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"1342079194\", "
    "oauth_token=\"34279133-AcaTs7PUEKQeCS83MBQEcJKYA4ZNAAqBCwcBvHD9M\", "
    "oauth_consumer_key=\"Xq7LmN2pRt5VwY8zKc3Hd\", "
    "oauth_signature=\"DH1cpPs8EsvG1VVfLrWEywKc9HA%3D\", oauth_version=\"1.0\"", // authorizationHeader
    "status=Test%20tweet%201", // postBody
};

} // namespace SelfTestVectors

#endif
